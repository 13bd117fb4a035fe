// Invariants written as code: PELMORO_ASSERT(condition) checks what a
// header promises in prose (an index in range, a window's bounds, two ways
// of computing one value agreeing). A failure is a programmer's error, not
// the user's: the program names the condition and where it was written,
// and aborts. Checked in the default, sanitizer and fuzz builds; compiled
// out of Release builds (PELMORO_ASSERTS=0), where the condition is not
// evaluated at all, so it may cost what it likes.
//
// Everything a user or a file can get wrong is an Exception with a message
// instead, never an assert.
#pragma once

namespace pelmoro {

// Prints "pelmoro: internal error: FILE:LINE: CONDITION" to stderr and
// aborts.
[[noreturn]] void FailAssertion(const char* condition, const char* file, int line);

}  // namespace pelmoro

#if PELMORO_ASSERTS
#define PELMORO_ASSERT(condition)                    \
  (__builtin_expect(static_cast<bool>(condition), 1) \
       ? static_cast<void>(0)                        \
       : ::pelmoro::FailAssertion(#condition, __FILE__, __LINE__))
#else
// Not evaluated, but still compiled: names it uses stay used.
#define PELMORO_ASSERT(condition) static_cast<void>(sizeof(static_cast<bool>(condition)))
#endif

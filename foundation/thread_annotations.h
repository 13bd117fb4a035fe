// Clang's thread-safety analysis (-Wthread-safety): what a mutex guards and
// which functions expect it held, stated where the compiler checks it. Other
// compilers see nothing.
#pragma once

#if defined(__clang__)
#define PELMORO_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define PELMORO_THREAD_ANNOTATION(x)
#endif

// A type whose objects are locks (a mutex).
#ifndef CAPABILITY
#define CAPABILITY(name) PELMORO_THREAD_ANNOTATION(capability(name))
#endif

// A type whose objects hold or release a lock for their lifetime.
#ifndef SCOPED_CAPABILITY
#define SCOPED_CAPABILITY PELMORO_THREAD_ANNOTATION(scoped_lockable)
#endif

// A member read and written only with the given mutex held.
#ifndef GUARDED_BY
#define GUARDED_BY(x) PELMORO_THREAD_ANNOTATION(guarded_by(x))
#endif

// A function called with the mutexes held, which it leaves held.
#ifndef REQUIRES
#define REQUIRES(...) PELMORO_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#endif

// A function called without the mutexes held (it takes them itself).
#ifndef EXCLUDES
#define EXCLUDES(...) PELMORO_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#endif

// A function that takes, or lets go of, the mutexes (none named: the object
// itself, or for a scoped type whatever it holds).
#ifndef ACQUIRE
#define ACQUIRE(...) PELMORO_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#endif
#ifndef RELEASE
#define RELEASE(...) PELMORO_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#endif

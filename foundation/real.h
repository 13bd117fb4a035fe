// Real arithmetic: 80-bit x87 extended precision, round to nearest, with
// invalid operation, division by zero and overflow turned into errors.
#pragma once

#include <cstdint>

namespace pelmoro {

// The working precision of every real computation: 64-bit significand.
using Real = long double;
static_assert(sizeof(Real) >= 10 && __LDBL_MANT_DIG__ == 64,
              "long double must be the x87 80-bit extended type");

// Clears the sticky invalid, divide-by-zero and overflow flags (x87 and SSE).
void ClearFpErrors();

// Raises EInvalidOp, EZeroDivide or EOverflow (in that order of precedence)
// when the matching flag is set since the last ClearFpErrors(), and clears
// the flags in every case, so the floating-point state is clean afterwards.
void CheckFpErrors();

// Makes the computation of x happen before the next statement. The compiler
// treats arithmetic as free of side effects and may otherwise move it past a
// CheckFpErrors() call, which would then miss the flags it raises.
inline void FpBarrier(Real& x) { __asm__ __volatile__("" : "+m"(x) : : "memory"); }

// Drops the fraction toward zero. Raises EInvalidOp for a NaN, an infinity or
// a result outside -2^63 .. 2^63-1.
std::int64_t TruncateReal(Real x);

// TruncateReal for a value known to lie strictly between -2^31 - 1 and 2^31,
// without its checks: the hot path of coordinate conversion, inline so the
// value stays in the x87 registers.
inline std::int32_t TruncateWithinInt32(Real x) {
  // The double nearest to x truncates (cheaply, without switching the x87
  // rounding mode) to the right whole number or, when that rounding crossed
  // a whole number, to one step beyond it, which the exact comparison in
  // extended precision takes back.
  auto whole = static_cast<std::int32_t>(static_cast<double>(x));
  if (x >= 0) {
    if (static_cast<Real>(whole) > x) --whole;
  } else if (static_cast<Real>(whole) < x) {
    ++whole;
  }
  return whole;
}

// TruncateReal(part / whole * 100) in extended precision, for a progress
// bar: 0 <= part <= whole and whole > 0, so the percentage lies within
// 0..100 and takes the cheap truncation.
inline int TruncatedPercent(std::int64_t part, std::int64_t whole) {
  return TruncateWithinInt32(static_cast<Real>(part) / static_cast<Real>(whole) * 100);
}

// TruncatedPercent(part, whole) for a part that never decreases, as a
// reading's blocks taken: the quotient is taken again only once the part
// reaches the next whole percentage, a hundred times in all.
class GrowingPercent {
 public:
  explicit GrowingPercent(std::int64_t whole) : whole_(whole) {}
  int At(std::int64_t part) {
    if (part >= next_) Advance(part);
    return percent_;
  }

 private:
  void Advance(std::int64_t part);

  std::int64_t whole_;
  std::int64_t next_ = 0;  // the smallest part with a larger percentage
  int percent_ = 0;
};

// Drops the fraction toward zero, keeping a real (-2.7 -> -2, -0.5 -> -0);
// an infinity stays an infinity.
Real WholePart(Real x);

}  // namespace pelmoro

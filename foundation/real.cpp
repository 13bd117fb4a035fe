#include "foundation/real.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

#include "foundation/errors.h"
#include "foundation/wide_int.h"

namespace pelmoro {
namespace {

// The conditions that are errors; underflow and inexact results are not.
constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

}  // namespace

void ClearFpErrors() {
  // Testing is cheap, clearing is not (it rewrites the whole x87
  // environment), and the flags are nearly always clear already.
  if (std::fetestexcept(kErrorFlags) != 0) std::feclearexcept(kErrorFlags);
}

void CheckFpErrors() {
  const int raised = std::fetestexcept(kErrorFlags);
  if (raised == 0) return;
  std::feclearexcept(kErrorFlags);
  if (raised & FE_INVALID) throw EInvalidOp();
  if (raised & FE_DIVBYZERO) throw EZeroDivide();
  throw EOverflow();
}

std::int64_t TruncateReal(Real x) {
  // Read straight from the extended format: a 64-bit significand with an
  // explicit integer bit, |x| = significand * 2^(exponent - 63). Working on
  // the bits truncates toward zero without touching the rounding mode and
  // without raising any flag, and cannot hit the undefined behaviour of an
  // out-of-range float-to-integer conversion.
  std::uint64_t significand;
  std::uint16_t sign_exponent;
  std::memcpy(&significand, &x, sizeof significand);
  std::memcpy(&sign_exponent, reinterpret_cast<const unsigned char*>(&x) + 8, sizeof sign_exponent);
  const bool negative = (sign_exponent & 0x8000) != 0;
  const int exponent = (sign_exponent & 0x7FFF) - 16383;
  if (exponent < 0) return 0;  // |x| < 1, zeros and denormals included
  if (exponent < 63) {
    const auto magnitude = static_cast<std::int64_t>(significand >> (63 - exponent));
    return negative ? -magnitude : magnitude;
  }
  // Only -2^63 itself fits at this size; infinities and NaNs (all-ones
  // exponent) end up here too.
  if (exponent == 63 && negative && significand == (std::uint64_t{1} << 63)) {
    return INT64_MIN;
  }
  throw EInvalidOp();
}

Real WholePart(Real x) { return std::trunc(x); }

void GrowingPercent::Advance(std::int64_t part) {
  constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  if (whole_ <= 0) {  // nothing to divide by: the bar stays empty
    next_ = kNever;
    return;
  }
  percent_ = TruncatedPercent(part, whole_);
  if (percent_ >= 100) {
    next_ = kNever;
    return;
  }
  // The exact quotient reaches the next percentage at this part; the
  // rounded one a step or two to either side.
  const UInt128 reach = static_cast<UInt128>(percent_ + 1) * static_cast<UInt128>(whole_);
  auto next = static_cast<std::int64_t>((reach + 99) / 100);
  if (next <= part) next = part + 1;
  while (next - 1 > part && TruncatedPercent(next - 1, whole_) > percent_) --next;
  while (TruncatedPercent(next, whole_) <= percent_) ++next;
  next_ = next;
}

}  // namespace pelmoro

// The fast path of a vertex field: an ordinary decimal straight into grid
// units, with the same result as ParseReal followed by ToGridUnits.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

#include "engine/magnitudes.h"
#include "foundation/digit_chunks.h"
#include "foundation/numbers_detail.h"
#include "foundation/real.h"

namespace pelmoro {

// Bytes the fast path may read past the end of what it is given; callers
// keep them readable (their values do not matter).
inline constexpr std::size_t kFieldReadAhead = 48;

namespace detail {

inline constexpr std::uint64_t kPowersOfTen64[20] = {1ULL,
                                                     10ULL,
                                                     100ULL,
                                                     1000ULL,
                                                     10000ULL,
                                                     100000ULL,
                                                     1000000ULL,
                                                     10000000ULL,
                                                     100000000ULL,
                                                     1000000000ULL,
                                                     10000000000ULL,
                                                     100000000000ULL,
                                                     1000000000000ULL,
                                                     10000000000000ULL,
                                                     100000000000000ULL,
                                                     1000000000000000ULL,
                                                     10000000000000000ULL,
                                                     100000000000000000ULL,
                                                     1000000000000000000ULL,
                                                     10000000000000000000ULL};

// The value of a run of count (0..19) digit characters at s.
inline std::uint64_t DigitRunValue(const char* s, int count) {
  if (count <= 1) return count == 0 ? 0 : static_cast<std::uint64_t>(*s - '0');
  if (count <= 8) return DigitsValue(LoadEightBytes(s), count);
  std::uint64_t value = 0;
  while (count > 8) {
    value = value * kIntegerPowersOfTen[8] + DigitsValue(LoadEightBytes(s), 8);
    s += 8;
    count -= 8;
  }
  return value * kIntegerPowersOfTen[count] + DigitsValue(LoadEightBytes(s), count);
}

// Bit i set for each of the 32 bytes at p that is a digit / is a byte of
// code 0 to 32.
struct ByteClasses {
  std::uint32_t digits;
  std::uint32_t ends;
};

inline ByteClasses ClassifyBytes16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  // Unsigned comparisons by way of the unsigned minimum: x <= k exactly
  // when min(x, k) == x.
  const __m128i nine = _mm_set1_epi8(9), space = _mm_set1_epi8(32);
  return ByteClasses{static_cast<std::uint32_t>(
                         _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(offset, nine), offset))),
                     static_cast<std::uint32_t>(
                         _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, space), bytes)))};
}

// A number ends at the first byte of code 0 to 32 at the latest: when the
// first sixteen bytes hold one, the next sixteen are not needed.
inline ByteClasses ClassifyBytes(const char* p) {
  ByteClasses classes = ClassifyBytes16(p);
  if (classes.ends == 0) {
    const ByteClasses high = ClassifyBytes16(p + 16);
    classes.digits |= high.digits << 16;
    classes.ends = high.ends << 16;
  }
  return classes;
}

// Index of the first byte at or after `from` that is no digit (32 when
// there is none among the 32).
inline int DigitRunEnd(std::uint32_t digits, int from) {
  const std::uint64_t others = ~std::uint64_t{digits} & (~std::uint64_t{0} << from);
  return __builtin_ctzll(others);
}

// The grid value TruncateReal(v) of a value v = x * units + 0.5 computed in
// double precision as d, within (|v| + 1) * 2^-51 of it, when d settles it:
// the extended computation lies within (|v| + 1) * 2^-62 of v, so when d is
// farther than (|d| + 1) * 2^-47 from every whole number, which is more
// than both errors together, d, v and the extended result lie strictly
// between the same two whole numbers and all truncate alike. Otherwise
// (halves of a grid unit, which make v whole, and values near the range's
// ends) false.
inline bool SettleGridValue(double d, std::int32_t& out) {
  const double magnitude = std::fabs(d);
  if (!(magnitude < kLargestGridValue)) return false;
  const auto whole = static_cast<std::int32_t>(d);  // toward zero
  // Exact: the difference is d's bits below its units.
  const double fraction = std::fabs(d - static_cast<double>(whole));
  const double margin = (magnitude + 1) * 0x1p-47;
  if (!(fraction > margin && fraction < 1 - margin)) return false;
  out = whole;
  return true;
}

// A decimal m * 10^n: m < 2^53 and 10^|n| (|n| <= 22) are doubles, and
// ((m op 10^|n|) * units) + 0.5 takes three correctly rounded steps, so d
// lies within (|v| + 1) * 2^-51 of the exact v.
inline bool GridValueByDouble(std::uint64_t m, int n, bool negative, int units, std::int32_t& out) {
  static constexpr double kPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (m >= (std::uint64_t{1} << 53) || n < -22 || n > 22) return false;
  double value = static_cast<double>(m);
  value = n >= 0 ? value * kPowers[n] : value / kPowers[-n];
  if (negative) value = -value;
  return SettleGridValue(value * units + 0.5, out);
}

}  // namespace detail

namespace detail {

// An ordinary decimal as ReadGridField takes it: the significand m, the
// decimal exponent n, the sign, and the byte after the number.
struct FieldDecimal {
  std::uint64_t significand = 0;
  int n = 0;
  bool negative = false;
  const char* end = nullptr;
};

// The text of ReadGridField's fast path (below) as m and n; false for any
// other text.
[[gnu::always_inline]] inline bool ParseFieldDecimal(const char* p, FieldDecimal& d) {
  const ByteClasses classes = ClassifyBytes(p);
  d.negative = *p == '-';
  const int integer_start = (d.negative || *p == '+') ? 1 : 0;
  const int integer_end = DigitRunEnd(classes.digits, integer_start);
  int fraction_start = integer_end, end = integer_end;
  if (p[integer_end] == '.') {
    fraction_start = integer_end + 1;
    end = DigitRunEnd(classes.digits, fraction_start);
  }
  if (end >= 32) return false;
  const int integer_digits = integer_end - integer_start;
  const int fraction_digits = end - fraction_start;
  const int digits = integer_digits + fraction_digits;
  if (digits == 0 || digits > 19) return false;
  int exponent = 0;
  if ((p[end] | 0x20) == 'e') {
    const bool exponent_negative = p[end + 1] == '-';
    const int exponent_start = end + ((exponent_negative || p[end + 1] == '+') ? 2 : 1);
    end = DigitRunEnd(classes.digits, exponent_start);
    const int exponent_digits = end - exponent_start;
    if (exponent_digits > 3) return false;
    const char* e = p + exponent_start;
    if (exponent_digits == 1) exponent = e[0] - '0';
    if (exponent_digits == 2) exponent = (e[0] - '0') * 10 + (e[1] - '0');
    if (exponent_digits == 3) exponent = (e[0] - '0') * 100 + (e[1] - '0') * 10 + (e[2] - '0');
    if (exponent_negative) exponent = -exponent;
  }
  if (end >= 32 || ((classes.ends >> end) & 1) == 0) return false;
  d.n = exponent - fraction_digits;
  if (d.n < -27 || d.n > 27) return false;
  // At most 19 digits in all: below 10^19 < 2^64 at every step.
  d.significand =
      DigitRunValue(p + integer_start, integer_digits) * kPowersOfTen64[fraction_digits] +
      DigitRunValue(p + fraction_start, fraction_digits);
  d.end = p + end;
  return true;
}

// ParseReal's value of the decimal: the extended operations it performs.
[[gnu::always_inline]] inline Real ValueOfDecimal(const FieldDecimal& d) {
  Real value = static_cast<Real>(d.significand);
  value = d.n >= 0 ? value * kPow10Units[d.n] : value / kPow10Units[-d.n];
  return d.negative ? -value : value;
}

}  // namespace detail

// The fast path for the field that starts at p, when it is an ordinary
// decimal: an optional sign, digits with an optional fraction (at least one
// digit, at most 19 in all, leading zeros included), an optional exponent of
// at most three digits after "E" or "e" and its optional sign, with the
// decimal exponent (exponent minus fraction digits) within -27..27, all
// within 32 bytes and followed by a byte of code 0 to 32. Stores the field's
// grid value in out and returns the byte after the number, or returns
// nullptr, leaving the field to the general reading, for anything else:
// other texts, and values outside the grid range.
//
// For such a text ParseReal folds the digits into an integer m below 2^64,
// which the extended significand holds exactly, and scales it by one
// correctly rounded multiplication or division by 10^|n| (exact in
// extended precision up to 10^27); negation follows, then the grid
// conversion TruncateReal(value * units + 0.5). This reader takes the same m
// and n, settles the result in double precision where that is provably the
// same whole number (GridValueByDouble), and otherwise performs those very
// extended operations: its results are the same bits, not an approximation.
[[gnu::always_inline]] inline const char* ReadGridField(const char* p, int units_per_file_unit,
                                                        std::int32_t& out) {
  detail::FieldDecimal d;
  if (!detail::ParseFieldDecimal(p, d)) return nullptr;
  if (detail::GridValueByDouble(d.significand, d.n, d.negative, units_per_file_unit, out)) {
    return d.end;
  }
  const Real grid = detail::ValueOfDecimal(d) * units_per_file_unit + 0.5L;
  if (!(grid > kBelowGridRange && grid < kAboveGridRange)) return nullptr;
  out = TruncateWithinInt32(grid);
  return d.end;
}

// ReadGridField for a coordinate read with a shift (engine/read/grid_shift.h
// says why it is exact): the same decimals, the same extended value as
// ParseReal's, truncated in 64 bits, less the shift. nullptr, leaving the
// field to the general reading (which names what it refuses), for other
// texts and for results outside the grid range.
inline const char* ReadShiftedGridField(const char* p, int units_per_file_unit, std::int64_t shift,
                                        std::int32_t& out) {
  detail::FieldDecimal d;
  if (!detail::ParseFieldDecimal(p, d)) return nullptr;
  const Real grid = detail::ValueOfDecimal(d) * units_per_file_unit + 0.5L;
  if (!(grid > -0x1p62L && grid < 0x1p62L)) return nullptr;
  const std::int64_t shifted = TruncateReal(grid) - shift;
  if (shifted < kSmallestGridValue || shifted > kLargestGridValue) return nullptr;
  out = static_cast<std::int32_t>(shifted);
  return d.end;
}

}  // namespace pelmoro

// Numbers from text and text from numbers.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/real.h"

namespace pelmoro {

// The decimal separator that ParseReal accepts by default. "." until a front
// end sets it from the user's locale.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The first character of the user's locale's decimal symbol (LC_NUMERIC from
// the environment), or '.' when the locale names none. Reads the locale
// without touching the process-wide C locale.
char LocaleDecimalSeparator();

// Converts a decimal text, read up to its first 0 byte, into an extended
// real: optional spaces (code 32 only), sign, digits, separator, fraction
// digits, exponent ("E"/"e", optional sign, up to the digit that brings the
// exponent to 500 or more), trailing spaces. Digits
// are folded into an extended significand one at a time and the decimal
// exponent is applied as up to three correctly rounded powers of ten, so the
// result is the same bits for every text as that digit-by-digit algorithm.
// Raises EConvertError("'<text>' は浮動小数点数ではありません", the text whole as
// handed in) for anything else, including overflow; underflow gives a
// denormal or 0. Leaves the floating-point error flags clear. The first form
// takes DecimalSeparator() as the separator.
Real ParseReal(std::string_view text);
Real ParseReal(std::string_view text, char separator);

// Decimal text of a signed 32-bit integer: "-" for negatives, no padding.
std::string FormatInteger(std::int32_t n);

namespace detail {

// "00" "01" ... "99": two digits per division keeps FormatIntegerTo short.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Decimal digits of m, at least 1. Map heights and columns are mostly short,
// so the small counts are tested first.
inline int DecimalDigits(std::uint32_t m) {
  if (m < 10) return 1;
  if (m < 100) return 2;
  if (m < 1000) return 3;
  if (m < 10000) return 4;
  if (m < 100000) return 5;
  if (m < 1000000) return 6;
  if (m < 10000000) return 7;
  if (m < 100000000) return 8;
  return m < 1000000000 ? 9 : 10;
}

}  // namespace detail

// Writes the same text as FormatInteger to out (at least 11 bytes) and
// returns the number of bytes written. Inline: map writers call it three
// times for every grid point.
inline int FormatIntegerTo(char* out, std::int32_t n) {
  // Unsigned negation takes -2147483648 to 2147483648 without overflow.
  std::uint32_t magnitude =
      n < 0 ? 0u - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
  char* o = out;
  if (n < 0) *o++ = '-';
  // Digits go straight to their places, last first: a copy of a length
  // known only at run time would cost a library call per number.
  const int length = detail::DecimalDigits(magnitude);
  char* p = o + length;
  while (magnitude >= 100) {
    p -= 2;
    std::memcpy(p, &detail::kDigitPairs[2 * (magnitude % 100)], 2);
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    std::memcpy(p - 2, &detail::kDigitPairs[2 * magnitude], 2);
  } else {
    p[-1] = static_cast<char>('0' + magnitude);
  }
  return static_cast<int>(o - out) + length;
}

}  // namespace pelmoro

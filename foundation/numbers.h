// Numbers from text and text from numbers.
#pragma once

#include <cstdint>
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

// Writes the same text as FormatInteger to out (at least 11 bytes) and
// returns the number of bytes written.
int FormatIntegerTo(char* out, std::int32_t n);

}  // namespace pelmoro

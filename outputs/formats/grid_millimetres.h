// Grid units written as millimetres: k grid units are k / 40 mm, which is
// k * 25 / 1000 mm, so three decimals always give the exact value.
#pragma once

#include <cstdint>
#include <string>

namespace pelmoro {

// The most FormatMillimetresTo writes for a 32-bit k: a sign, 8 digits,
// "." and 3 decimals.
inline constexpr int kLongestMillimetres = 13;

// Writes k / 40 mm as a plain decimal with "." (whatever the locale), no
// exponent, trailing zeros of the fraction dropped, and no "." for whole
// millimetres, for |k| < 2^58: 40 gives "1", 1 gives "0.025", -20 gives "-0.5". Returns
// the length.
int FormatMillimetresTo(char* out, std::int64_t k);
std::string FormatMillimetres(std::int64_t k);

}  // namespace pelmoro

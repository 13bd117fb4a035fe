// Grid units written in a model's unit, for the grids that speak it: k grid
// units of a unit of u grid units are k / u of it. Where u divides a power
// of ten (mm 40, cm 400, m 40,000) the decimal is exact; where it does not
// (in 1016, ft 12192) it is rounded half up to the places that tell every
// grid unit from its neighbours (4 for in, 5 for ft).
#pragma once

#include <cstdint>
#include <string>

namespace pelmoro {

// The longest text FormatInUnit gives for a 32-bit k and u from 1 to 10^6.
inline constexpr int kLongestInUnit = 24;

// k / units as a plain decimal with "." (whatever the locale), no exponent,
// trailing zeros of the fraction dropped; for units 40 the very text of
// FormatMillimetres. units: 1 to 10^6; |k| < 2^40.
std::string FormatInUnit(std::int64_t k, int units);

// The decimal places FormatInUnit gives values of this unit at most.
int PlacesOfUnit(int units);

}  // namespace pelmoro

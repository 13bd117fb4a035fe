// The magnitudes the reader's and the scan's exactness arguments rest on,
// each defined here once, with the reason for its size.
#pragma once

#include <cstdint>

namespace pelmoro {

// The grid range: a coordinate's grid value is a 32-bit integer (the store
// keeps vertices in 32 bits), from -2^31 to 2^31 - 1 grid units, about
// 53.7 km either side of the origin.
inline constexpr std::int32_t kSmallestGridValue = INT32_MIN;
inline constexpr std::int32_t kLargestGridValue = INT32_MAX;

// A value strictly between these two truncates toward zero into the grid
// range; both are exact doubles (and so exact in extended precision), and
// a value outside, an infinity or a NaN fails the test written as
// `v > kBelowGridRange && v < kAboveGridRange`.
inline constexpr double kBelowGridRange = kSmallestGridValue - 1.0;
inline constexpr double kAboveGridRange = kLargestGridValue + 1.0;

// 2^20 grid units (about 26 m): for spans, coordinate differences and
// heights below it in magnitude, a product of three of them (a plane
// normal's term times a further difference) and the sums of such products
// stay below 2^63, so 64-bit integers hold the plane terms exactly; larger
// triangles take 128-bit ones.
inline constexpr std::int64_t kSmallGridMagnitude = std::int64_t{1} << 20;

// |v| of an integer built from grid values (a coordinate, a difference, an
// edge function, a plane term). Such values are far inside their type's
// range, so the negation never overflows.
template <typename Int>
constexpr Int Magnitude(Int v) {
  return v < 0 ? -v : v;
}

}  // namespace pelmoro

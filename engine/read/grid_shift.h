// A shift subtracted from the plan-view coordinates as a model is read
// (--shift), so that a model far from the origin (a terrain in UTM metres)
// fits the 32-bit grid; the grids put it back into their georeferencing.
//
// Exact: a shifted coordinate is the grid value the unshifted text has,
// measured from the shifted origin. The reading makes of the text the very
// value it always makes, g = v * units + 0.5 in extended precision (v the
// bits ParseReal gives, or the float32 of a binary file), and truncates it
// toward zero as it always does, only in 64 bits instead of 32: |g| < 2^62
// holds the whole number exactly. The shift S is a whole number of grid
// units (|S| <= 2^40), and the subtraction of two whole 64-bit numbers is
// exact. So the result is G(text) - S bit for bit, where G is the unshifted
// conversion: nothing is rounded that the unshifted reading does not round,
// and only the range test moves after the subtraction. (Shifting v or g
// before the truncation would round once more, at a magnitude where the
// extended significand no longer holds every bit of the text; subtracting
// in decimal on the text would give the grid value of another text, the
// same only where both round alike.)
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/magnitudes.h"
#include "foundation/real.h"

namespace pelmoro {

struct GridShift {
  std::int64_t x = 0, y = 0;  // grid units
  bool any() const { return x != 0 || y != 0; }
  bool operator==(const GridShift&) const = default;
};

// The largest shift either way, 2^40 grid units (27,487 km): Earth's
// coordinates in any unit, with room for the model beside it.
inline constexpr std::int64_t kLargestShift = std::int64_t{1} << 40;

// What --shift asks for: a given shift, or the model's lower-left corner
// rounded down to a whole 1,000 of its unit.
struct ShiftRequest {
  bool automatic = false;
  GridShift shift;
};

// Refuses a coordinate whose shifted grid value does not fit 32 bits,
// naming its text and the range around the shifted origin.
[[noreturn]] void ThrowOutsideShiftedRange(std::string_view text, int units_per_file_unit);

// Refuses a coordinate whose grid value is too large even for a shift.
[[noreturn]] void ThrowBeyondShiftRange(std::string_view text, int units_per_file_unit);

// TruncateReal(value * units + 0.5) in 64 bits: the unshifted conversion's
// whole number before its range test. Raises ERangeError naming text_of()
// beyond 2^62 (and for an infinity or a NaN).
template <typename TextOf>
inline std::int64_t ToWideGridUnits(Real value, int units_per_file_unit, TextOf&& text_of) {
  const Real grid = value * units_per_file_unit + 0.5L;
  if (!(grid > -0x1p62L && grid < 0x1p62L)) ThrowBeyondShiftRange(text_of(), units_per_file_unit);
  return TruncateReal(grid);
}

// The coordinate's grid value less the shift (see above). Raises
// ERangeError naming text_of() when that does not fit 32 bits.
template <typename TextOf>
inline std::int32_t ToShiftedGridUnits(Real value, int units_per_file_unit, std::int64_t shift,
                                       TextOf&& text_of) {
  const std::int64_t shifted = ToWideGridUnits(value, units_per_file_unit, text_of) - shift;
  if (shifted < kSmallestGridValue || shifted > kLargestGridValue) {
    ThrowOutsideShiftedRange(text_of(), units_per_file_unit);
  }
  return static_cast<std::int32_t>(shifted);
}

}  // namespace pelmoro

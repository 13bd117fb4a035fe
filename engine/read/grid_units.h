// Model coordinates into grid units (1/40 mm), the one conversion every
// reader uses.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/magnitudes.h"
#include "foundation/errors.h"
#include "foundation/real.h"
#include "foundation/text.h"

namespace pelmoro {

inline constexpr int kGridUnitsPerMillimetre = 40;

// Refuses a coordinate whose grid value does not fit 32 bits, naming the
// text it was read from and the range in the file's unit.
[[noreturn]] void ThrowOutsideGridRange(std::string_view text,
                                        int units_per_file_unit = kGridUnitsPerMillimetre);

// ToGridUnits with the refused value's text made only when it is refused:
// text_of() gives it.
template <typename TextOf>
inline std::int32_t ToGridUnitsNaming(Real value, int units_per_file_unit, TextOf&& text_of) {
  const Real grid = value * units_per_file_unit + 0.5L;
  if (!(grid > kBelowGridRange && grid < kAboveGridRange)) {
    ThrowOutsideGridRange(text_of(), units_per_file_unit);
  }
  return TruncateWithinInt32(grid);
}

// TruncateReal(value * units_per_file_unit + 0.5): to the nearest grid unit,
// halves upward, for values of zero and above (for negative ones every
// product above -1.5 gives 0). Refused with ERangeError naming `text` when
// the result does not fit 32 bits: anything from -2^31 - 1 to 2^31 (both
// exclusive) truncates into the range, and an overflow to infinity (or a
// NaN) fails the test too. Inline, so the value stays in the x87 registers
// from the parse on.
inline std::int32_t ToGridUnits(Real value, std::string_view text,
                                int units_per_file_unit = kGridUnitsPerMillimetre) {
  return ToGridUnitsNaming(value, units_per_file_unit, [text] { return text; });
}

}  // namespace pelmoro

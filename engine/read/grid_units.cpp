#include "engine/read/grid_units.h"

#include <string>

#include "engine/read/grid_shift.h"
#include "engine/read/model_units.h"

namespace pelmoro {

void ThrowOutsideGridRange(std::string_view text, int units_per_file_unit) {
  // An overflow to infinity may have raised its flag on the way here.
  ClearFpErrors();
  const ModelUnit& unit = ModelUnitOf(units_per_file_unit);
  throw ERangeError(QuotedText(text, " is outside the coordinate range of -" +
                                         std::string(unit.limit) + " to " +
                                         std::string(unit.limit) + " " + std::string(unit.name)));
}

void ThrowOutsideShiftedRange(std::string_view text, int units_per_file_unit) {
  ClearFpErrors();
  const ModelUnit& unit = ModelUnitOf(units_per_file_unit);
  throw ERangeError(QuotedText(text, " is outside the coordinate range of -" +
                                         std::string(unit.limit) + " to " +
                                         std::string(unit.limit) + " " + std::string(unit.name) +
                                         " around the shifted origin (--shift)"));
}

void ThrowBeyondShiftRange(std::string_view text, int units_per_file_unit) {
  ClearFpErrors();
  const ModelUnit& unit = ModelUnitOf(units_per_file_unit);
  throw ERangeError(
      QuotedText(text, " is too far from the origin for any shift in " + std::string(unit.name)));
}

}  // namespace pelmoro

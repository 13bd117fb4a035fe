// The length units a model file may be written in, as grid units per unit.
#pragma once

#include <span>
#include <string_view>

namespace pelmoro {

struct ModelUnit {
  std::string_view name;  // as typed after --units: "mm", "cm", "m", "in", "ft"
  int grid_units;         // grid units (1/40 mm) per file unit, exact
  // The largest magnitude, in this unit, whose grid value fits 32 bits,
  // rounded toward zero as it is shown in the range message.
  std::string_view limit;
};

// mm first (the default), then cm, m, in, ft.
std::span<const ModelUnit> ModelUnits();
// The unit of that name, or nullptr.
const ModelUnit* FindModelUnit(std::string_view name);
// The unit with that factor; millimetres for a factor that is none of them.
const ModelUnit& ModelUnitOf(int grid_units);

}  // namespace pelmoro

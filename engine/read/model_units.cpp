#include "engine/read/model_units.h"

namespace pelmoro {

namespace {

// Limits: (2^31 - 0.5) / factor, the largest value that TruncateReal(v *
// factor + 0.5) keeps within 32 bits (the smallest differs only in digits
// not shown).
constexpr ModelUnit kUnits[] = {
    {"mm", 40, "53687091"},  {"cm", 400, "5368709.1"},   {"m", 40000, "53687.09"},
    {"in", 1016, "2113665"}, {"ft", 12192, "176138.75"},
};

}  // namespace

std::span<const ModelUnit> ModelUnits() { return kUnits; }

const ModelUnit* FindModelUnit(std::string_view name) {
  for (const ModelUnit& unit : kUnits) {
    if (unit.name == name) return &unit;
  }
  return nullptr;
}

const ModelUnit& ModelUnitOf(int grid_units) {
  for (const ModelUnit& unit : kUnits) {
    if (unit.grid_units == grid_units) return unit;
  }
  return kUnits[0];
}

}  // namespace pelmoro

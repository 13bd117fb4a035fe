#include "engine/grid_units.h"

namespace pelmoro {

void ThrowOutsideGridRange(std::string_view text) {
  // An overflow to infinity may have raised its flag on the way here.
  ClearFpErrors();
  throw ERangeError(
      QuotedText(text, " is outside the coordinate range of -53687091 to 53687091 mm"));
}

}  // namespace pelmoro

#include "run/pitch.h"

#include <cstdint>

#include "engine/read/grid_units.h"
#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "foundation/real.h"
#include "run/messages.h"

namespace pelmoro {

namespace {

constexpr int kLargestPitch = 255;

PitchResult Refused(const char* message) { return PitchResult{0, message}; }

}  // namespace

PitchResult ParsePitchText(std::string_view text, char separator) {
  std::int64_t units = 0;
  try {
    Real product = ParseReal(text, separator) * kGridUnitsPerMillimetre;
    FpBarrier(product);
    CheckFpErrors();
    units = TruncateReal(product);
  } catch (const Exception&) {
    // Not a number, or a product beyond the 64-bit range: both are simply a
    // pitch outside what the field accepts.
    ClearFpErrors();
    return Refused(kPitchRangeMessage);
  }
  if (units == 0) return Refused(kPitchTooSmallMessage);
  if (units < 0 || units > kLargestPitch) return Refused(kPitchRangeMessage);
  return PitchResult{static_cast<int>(units), {}};
}

}  // namespace pelmoro

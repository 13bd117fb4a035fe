// The raster pitch typed by the user, in millimetres.
#pragma once

#include <string>
#include <string_view>

namespace pelmoro {

struct PitchResult {
  int pitch = 0;        // grid units 1..255, or 0 when refused
  std::string message;  // what to tell the user when refused
};

// Millimetres to grid units: ParseReal with the given decimal separator,
// times 40 in extended precision, fraction dropped. 0 grid units gives the
// "Pitch larger" message; anything not a number or outside 1..255 the
// range message.
PitchResult ParsePitchText(std::string_view text, char separator);

}  // namespace pelmoro

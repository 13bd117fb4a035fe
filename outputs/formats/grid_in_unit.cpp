#include "outputs/formats/grid_in_unit.h"

#include "foundation/assert.h"
#include "foundation/wide_int.h"

namespace pelmoro {

namespace {

// The smallest power of ten that units divides, as its exponent; -1 when
// none up to 10^9 does.
int ExactPlaces(int units) {
  std::int64_t power = 1;
  for (int places = 0; places <= 9; ++places, power *= 10) {
    if (power % units == 0) return places;
  }
  return -1;
}

Int128 FloorDivide(Int128 a, Int128 b) {  // b > 0
  return a / b - (a % b < 0 ? 1 : 0);
}

}  // namespace

int PlacesOfUnit(int units) {
  const int exact = ExactPlaces(units);
  if (exact >= 0) return exact;
  // A step of 10^-places below half a grid unit, 1 / (2 units): every
  // grid unit's decimal rounds to a value nearer it than any other's.
  int places = 0;
  for (std::int64_t power = 1; power < 2 * std::int64_t{units}; power *= 10) ++places;
  return places;
}

std::string FormatInUnit(std::int64_t k, int units) {
  PELMORO_ASSERT(units >= 1 && units <= 1000000);
  const int places = PlacesOfUnit(units);
  Int128 scale = 1;
  for (int p = 0; p < places; ++p) scale *= 10;
  // m = k * 10^places / units, exact or rounded half up: |k| 10^places
  // units < 2^40 2^30 2^20 fits 128 bits.
  const Int128 m = FloorDivide(2 * Int128{k} * scale + units, 2 * Int128{units});
  const bool negative = m < 0;
  Int128 magnitude = negative ? -m : m;

  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude > 0);
  // At least one digit before the point.
  if (digits.size() <= static_cast<std::size_t>(places)) {
    digits.insert(0, static_cast<std::size_t>(places) + 1 - digits.size(), '0');
  }
  std::string whole = digits.substr(0, digits.size() - static_cast<std::size_t>(places));
  std::string fraction = digits.substr(digits.size() - static_cast<std::size_t>(places));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string text = negative ? "-" : "";
  text += whole;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

}  // namespace pelmoro

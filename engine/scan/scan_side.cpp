#include "engine/scan/scan_side.h"

#include <algorithm>
#include <climits>

namespace pelmoro {

std::int32_t HighestZ(const GeometryStore& store, std::int32_t count) {
  std::int32_t high = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    const Triangle& t = store.triangle(static_cast<std::size_t>(i));
    high = std::max({high, t.v[0].z, t.v[1].z, t.v[2].z});
  }
  return high;
}

bool SideFits(const GeometryStore& store, std::int32_t count, ScanSide side) {
  if (side == ScanSide::kTop) return true;
  for (std::int32_t i = 0; i < count; ++i) {
    const Triangle& t = store.triangle(static_cast<std::size_t>(i));
    if (std::min({t.v[0].z, t.v[1].z, t.v[2].z}) == INT32_MIN) return false;
  }
  return true;
}

std::int32_t UncoveredHeight(const GeometryStore& store, std::int32_t count, ScanSide side) {
  return side == ScanSide::kTop ? store.bounds().z_min : HighestZ(store, count);
}

}  // namespace pelmoro

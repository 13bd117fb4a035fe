#include "engine/scan/lattice.h"

#include <algorithm>
#include <climits>

#include "foundation/real.h"

namespace pelmoro {

Lattice LatticeOver(const ModelBounds& b, int pitch) {
  PELMORO_ASSERT(pitch >= 1 && pitch <= 255);
  PELMORO_ASSERT(b.x_min <= b.x_max && b.y_min <= b.y_max);  // at least a column and a row
  Lattice lattice;
  lattice.x_min = b.x_min;
  lattice.y_min = b.y_min;
  lattice.y_max = b.y_max;
  lattice.pitch = pitch;
  lattice.columns = (std::int64_t{b.x_max} - b.x_min) / pitch + 1;
  lattice.rows = (std::int64_t{b.y_max} - b.y_min) / pitch + 1;
  return lattice;
}

int ScanProgress(std::int64_t next_y, std::int32_t y_max) {
  if (y_max == 0) return next_y > 0 ? 100 : 0;
  const std::int64_t v = TruncateReal(static_cast<Real>(next_y) / static_cast<Real>(y_max) * 100);
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

int LatticeProgress(const Lattice& lattice, std::int64_t written) {
  if (!lattice.window) return ScanProgress(lattice.Y(written), lattice.y_max);
  // rows >= 1 and written <= rows < 2^33: the product fits 64 bits.
  return static_cast<int>(written * 100 / lattice.rows);
}

}  // namespace pelmoro

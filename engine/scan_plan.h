// What every row of one scan shares: the store, the lattice, and the
// triangles in the order the sweep meets them.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/lattice.h"
#include "engine/scan_row.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

struct ScanPlan {
  // pitch: 1..255 grid units; count: triangles 0..count-1 of the store;
  // rows wider than piece_columns are computed in pieces of that many.
  ScanPlan(const GeometryStore& store, int pitch, std::int32_t count,
           std::int64_t piece_columns);

  const GeometryStore& store;
  Lattice lattice;
  PieceLayout layout;
  std::int32_t count;
  std::int32_t z_min;
  std::vector<std::int32_t> order;  // triangle indices by (first row reached, index)
};

}  // namespace pelmoro

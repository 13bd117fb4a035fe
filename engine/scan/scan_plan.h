// What every row of one scan shares: the store, the lattice, and the
// triangles in the order the sweep meets them.
#pragma once

#include <cstdint>

#include "engine/scan/lattice.h"
#include "engine/scan/scan_row.h"
#include "engine/scan/scan_side.h"
#include "foundation/geometry_store.h"
#include "foundation/mapped_table.h"

namespace pelmoro {

struct ScanPlan {
  // lattice: LatticeOver(store.bounds(), pitch); count: triangles
  // 0..count-1 of the store; rows wider than piece_columns are computed in
  // pieces of that many. From below (side kBottom) the plan is the one of
  // the model mirrored in z (see scan_side.h): its triangles are read
  // through Sided and its floor is -z max; SideFits must hold.
  ScanPlan(const GeometryStore& store, const Lattice& lattice, std::int32_t count,
           std::int64_t piece_columns, ScanSide side = ScanSide::kTop);

  // Triangle i as the sweep measures it: mirrored in z from below.
  Triangle Sided(std::int32_t i) const {
    return SidedTriangle(store.triangle(static_cast<std::size_t>(i)), side);
  }
  // The plain plane height of triangle i at (x, y), as the sweep measures
  // it: negated from below.
  std::int32_t SidedHeightAt(std::int32_t i, std::int32_t x, std::int32_t y) const;

  const GeometryStore& store;
  Lattice lattice;
  PieceLayout layout;
  std::int32_t count;
  ScanSide side;
  // The floor the sweep's heights start from: z min from above, -z max
  // from below.
  std::int32_t z_min;
  double inverse_pitch;  // 1.0 / the pitch, for the set-up of every triangle
  // Triangle indices by (first row reached, index), in a mapping of its
  // own: a large model's order is made of huge pages.
  MappedArray<std::int32_t> order;
  // The highest index of a triangle that can give a point a height above
  // z min (-1: none): one that covers points (area key not 0) and is no
  // level floor at z min. A level floor after it in file order is never the
  // first covering triangle where a height would change.
  std::int32_t last_raising = -1;
};

// A triangle level at z min (every vertex there) whose plane terms are
// exact in whole numbers: wherever it covers, its height is z min.
bool LevelAtFloor(const Triangle& t, std::int32_t z_min);

}  // namespace pelmoro

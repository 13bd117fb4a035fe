#include "engine/scan/scan_plan.h"

#include <algorithm>
#include <vector>

#include "engine/magnitudes.h"
#include "engine/scan/coverage.h"
#include "engine/scan/plane.h"
#include "foundation/assert.h"
#include "foundation/wide_int.h"

namespace pelmoro {

// Level at z min: Nx = Ny = 0 and every z is z min. Exact plane terms, as
// ActiveTriangle takes them: |D| below 2^32, and |D| (|z| + 1) below 2^53.
bool LevelAtFloor(const Triangle& t, std::int32_t z_min) {
  if (t.v[0].z != z_min || t.v[1].z != z_min || t.v[2].z != z_min) return false;
  const Int128 d = ComputePlaneNormal<Int128>(t).d;
  const Int128 z_far = Magnitude(Int128{z_min}) + 1;
  return d != 0 && Magnitude(d) < (Int128{1} << 32) && Magnitude(d) * z_far < (Int128{1} << 53);
}

std::int32_t ScanPlan::SidedHeightAt(std::int32_t i, std::int32_t x, std::int32_t y) const {
  const std::int32_t h = TriangleHeightAt(store, i, x, y);
  return side == ScanSide::kTop ? h : NegatedHeight(h);
}

ScanPlan::ScanPlan(const GeometryStore& s, const Lattice& l, std::int32_t n,
                   std::int64_t piece_columns, ScanSide scan_side)
    : store(s),
      lattice(l),
      layout(lattice, piece_columns),
      count(n),
      side(scan_side),
      z_min(scan_side == ScanSide::kTop ? s.bounds().z_min : NegatedHeight(HighestZ(s, n))),
      inverse_pitch(1.0 / l.pitch) {
  PELMORO_ASSERT(n >= 0 && static_cast<std::size_t>(n) <= s.capacity());
  PELMORO_ASSERT(SideFits(s, n, side));
  for (std::int32_t i = n - 1; i >= 0 && last_raising < 0; --i) {
    const auto row = static_cast<std::size_t>(i);
    if (s.metrics(row).area_key != 0.0 && !LevelAtFloor(Sided(i), z_min)) last_raising = i;
  }
  // Ordered by the first lattice row each triangle reaches (its lowest y is
  // vertex 2's), index order within a row: a counting sort over the rows,
  // or a plain sort when rows far outnumber the triangles.
  const std::int64_t rows = lattice.rows;
  const auto first_row = [&](std::int32_t i) {
    const std::int64_t above =
        s.triangle(static_cast<std::size_t>(i)).v[2].y - std::int64_t{lattice.y_min};
    return std::clamp<std::int64_t>(CeilByPitch(above, lattice.pitch), 0, rows);
  };
  if (rows > 4 * std::int64_t{n} + 1024) {
    std::vector<std::uint64_t> keys(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
      keys[static_cast<std::size_t>(i)] =
          static_cast<std::uint64_t>(first_row(i)) << 32 | static_cast<std::uint32_t>(i);
    }
    std::sort(keys.begin(), keys.end());
    order.Reset(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) order[k] = static_cast<std::int32_t>(keys[k]);
    return;
  }
  // The first rows are worked out twice rather than kept: fresh memory costs
  // more than the arithmetic.
  std::vector<std::int32_t> start(static_cast<std::size_t>(rows) + 2, 0);
  for (std::int32_t i = 0; i < n; ++i) ++start[static_cast<std::size_t>(first_row(i)) + 1];
  for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  order.Reset(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    order[static_cast<std::size_t>(start[static_cast<std::size_t>(first_row(i))]++)] = i;
  }
}

}  // namespace pelmoro

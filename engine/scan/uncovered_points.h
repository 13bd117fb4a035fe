// Which lattice points no triangle covers, for the outputs that leave them
// without a height (NODATA). Told only for the points a scan left at the
// floor (z min; from below z max): only a covering triangle raises a point
// above it (lowers it below), so every other point is covered. The test is the scan's own
// (TriangleCovers), so a point is uncovered here exactly when the scan found no triangle for it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/scan/fast_coverage.h"
#include "engine/scan/lattice.h"
#include "engine/scan/row_sink.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

class UncoveredPoints {
 public:
  // The store must outlive this; count: triangles 0..count-1 of it, the
  // lattice the scan's. Keeps 4 bytes a triangle.
  UncoveredPoints(const GeometryStore& store, const Lattice& lattice, std::int32_t count);

  // For a piece of the scan, whose rows come in order from row 0 (a row's
  // pieces in column order): uncovered[k] becomes 1 where the point of
  // heights[k] is at the floor and no triangle covers it, else 0.
  void Mark(const RowPiece& piece, std::int32_t floor, std::vector<std::uint8_t>& uncovered);

 private:
  void MoveToRow(std::int64_t row);

  const GeometryStore& store_;
  Lattice lattice_;
  std::vector<std::int32_t> order_;  // triangles by their lowest y
  std::size_t next_ = 0;             // the first in order_ not yet met
  // A triangle whose y range holds the row.
  struct Active {
    std::int32_t index;
    std::int64_t j_lo, j_hi;  // the columns of its x range
    CoverageCoefficients coverage;
  };
  std::vector<Active> active_;
  std::int64_t row_ = -1;
  std::vector<std::int64_t> candidates_;  // running count of the piece's floor points
};

}  // namespace pelmoro

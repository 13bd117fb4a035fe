// Heights of one lattice row, from only the triangles whose y range holds
// the row and, for each, only the lattice points of its own x range.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/fast_coverage.h"
#include "engine/height_map_scan.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// What every row of one scan shares: the store, the lattice, and the
// triangles ordered by their lowest y.
struct ScanPlan {
  ScanPlan(const GeometryStore& store, int pitch, std::int32_t count);

  const GeometryStore& store;
  int pitch;
  std::int32_t count;
  std::int64_t x0;        // x min: the lattice's first column
  std::int32_t columns;   // points per row
  std::int32_t z_min;
  std::vector<std::int32_t> order;  // triangle indices by (first row reached, index)
};

// A triangle crossing the rows being swept, prepared for its lattice points.
struct ActiveTriangle {
  std::int32_t index;
  std::int32_t y_top;           // largest y; the triangle leaves after it
  std::int32_t z_top;           // largest z of its vertices
  std::int64_t x_lo, x_hi;      // x range of its vertices
  CoverageCoefficients coverage;
  // Plane height z = (z1 D + S) / D with S = nx (x1 - x) + ny (y1 - y);
  // exact in 64-bit integers when plane_exact.
  std::int64_t d, nx, ny, x1, y1, z1d;
  bool plane_exact;
};

// Sweeps rows upward for one thread; rows may also restart lower.
class RowSweeper {
 public:
  explicit RowSweeper(const ScanPlan& plan);

  // Heights of the row at y (grid units) into heights (plan.columns values):
  // the highest covering plane height or, with surface, the first covering
  // triangle's; never below z min. Equal to the plain scan's row.
  void ComputeRow(std::int64_t y, bool surface, std::span<std::int32_t> heights);

  // Lattice row `row` (0-based, from y min) computed and appended to text
  // by the sink's formatter.
  void FormatRow(std::int64_t row, bool surface, const RowSink& sink, std::string& text);

 private:
  void Advance(std::int64_t y);
  void SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface,
                     std::span<std::int32_t> heights);
  std::int32_t PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                           std::int64_t y) const;

  const ScanPlan& plan_;
  std::size_t next_ = 0;  // next entry of plan_.order to enter
  std::int64_t last_y_;
  std::vector<ActiveTriangle> active_;
  std::vector<std::int32_t> first_;  // surface: lowest covering index per column
  std::vector<std::int32_t> heights_;  // the row FormatRow computes
};

}  // namespace pelmoro

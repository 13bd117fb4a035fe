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
  ActiveTriangle(const ScanPlan& plan, std::int32_t i);

  std::int32_t index;
  std::int32_t y_top;           // largest y; the triangle leaves after it
  std::int32_t z_top;           // largest z of its vertices
  std::int64_t j_lo, j_hi;      // the lattice columns within its x range
  CoverageCoefficients coverage;
  // Plane height z = (z1 D + S) / D with S = nx (x1 - x) + ny (y1 - y);
  // exact in 64-bit integers when plane_exact.
  std::int64_t d, nx, ny, x1, y1, z1d;
  bool plane_exact;
  // Level at z min with exact plane terms: its height is z min wherever it
  // covers, which every row starts with, so the highest plane never needs it.
  bool level_at_floor;
  // Decided exactly everywhere by the integer test, with N below 2^53 (exact
  // as a double) and heights below 2^20 in magnitude at every point of its
  // bounding box: the highest plane takes the branch-free loop.
  bool simple;
};

// The triangles crossing the rows being swept, with their top rows kept
// side by side so that the leaving check reads little memory.
class ActiveSet {
 public:
  void Add(const ActiveTriangle& a) {
    triangles_.push_back(a);
    tops_.push_back(a.y_top);
  }
  // Prepares triangle i in place: no copy of a fresh one.
  const ActiveTriangle& Prepare(const ScanPlan& plan, std::int32_t i) {
    const ActiveTriangle& a = triangles_.emplace_back(plan, i);
    tops_.push_back(a.y_top);
    return a;
  }
  void DropLast() {
    triangles_.pop_back();
    tops_.pop_back();
  }
  void Clear() {
    triangles_.clear();
    tops_.clear();
  }
  // Calls visit(triangle) for every triangle reaching y; those that ended
  // below y leave on the way (the last one takes each leaver's place: the
  // order does not matter).
  template <typename Visit>
  void ForEachReaching(std::int64_t y, Visit visit) {
    for (std::size_t k = 0; k < tops_.size();) {
      if (tops_[k] >= y) {
        visit(triangles_[k]);
        ++k;
        continue;
      }
      if (k + 1 != tops_.size()) {
        triangles_[k] = triangles_.back();
        tops_[k] = tops_.back();
      }
      DropLast();
    }
  }

 private:
  std::vector<ActiveTriangle> triangles_;
  std::vector<std::int32_t> tops_;
};

// Sweeps rows upward for one thread; rows may also jump ahead or restart
// lower.
//
// Seeking the highest plane, a small triangle (one taking the branch-free
// loop and spanning fewer rows than the ring holds) is swept over all its
// rows as it enters, into a ring of the rows ahead; only the others stay
// in the active set from row to row.
class RowSweeper {
 public:
  explicit RowSweeper(const ScanPlan& plan);

  // Heights of lattice row `row` (0-based, from y min) into heights
  // (plan.columns values): the highest covering plane height or, with
  // surface, the first covering triangle's; never below z min. Equal to the
  // plain scan's row.
  void ComputeRow(std::int64_t row, bool surface, std::span<std::int32_t> heights);

  // The same row appended to text by the sink's formatter.
  void FormatRow(std::int64_t row, bool surface, const RowSink& sink, std::string& text);

 private:
  void MoveTo(std::int64_t row, bool surface);
  void Restart();
  void Advance(std::int64_t row, std::int64_t y, bool surface);
  std::span<std::int32_t> RingRow(std::int64_t row);
  void SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface,
                     std::span<std::int32_t> heights);
  void SweepSimple(const ActiveTriangle& a, std::int64_t y, std::span<std::int32_t> heights);
  void SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, bool surface,
                         std::span<std::int32_t> heights);
  std::int32_t PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                           std::int64_t y) const;

  const ScanPlan& plan_;
  std::size_t next_ = 0;  // next entry of plan_.order to enter
  std::int64_t last_row_ = -1;  // the row computed last (-1: none yet)
  bool last_surface_ = false;
  ActiveSet active_;
  ActiveSet level_;  // level at z min, kept for the first covering triangle only
  std::int64_t ring_rows_;  // rows the ring holds, a power of two (0: no ring)
  std::vector<std::int32_t> ring_;  // highest heights so far of the rows ahead
  std::vector<std::int32_t> first_;  // surface: lowest covering index per column
  std::vector<std::int32_t> first_z_;  // and its plane height there
  std::vector<std::int32_t> heights_;  // the row FormatRow computes
};

}  // namespace pelmoro

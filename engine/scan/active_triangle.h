// A triangle crossing the rows being swept, prepared once for its lattice
// points, and the set of them a sweep keeps.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/scan/fast_coverage.h"
#include "engine/scan/scan_plan.h"

namespace pelmoro {

inline constexpr std::int64_t kExactDouble = std::int64_t{1} << 53;

// A triangle crossing the rows being swept, prepared for its lattice points.
struct ActiveTriangle {
  ActiveTriangle(const ScanPlan& plan, std::int32_t i);

  std::int32_t index;
  std::int32_t y_top;       // largest y; the triangle leaves after it
  std::int32_t z_top;       // largest z of its vertices
  std::int64_t j_lo, j_hi;  // the lattice columns within its x range
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

// The columns one call of the sweep computes, first to last (0-based);
// heights[0] is the first's.
struct ColumnWindow {
  std::int64_t first, last;
};

// Columns, less one, of the widest pass left unnarrowed: narrowing pays
// only beyond.
inline constexpr std::int64_t kWidestUnnarrowed = 4;

// Where a triangle's pass along row y starts: its columns there, narrowed
// when it is wider than a few (narrowing pays only then), the edge
// functions at the first, and their steps from column to column.
struct RowPass {
  std::int64_t j_lo, j_hi, x;
  std::int64_t c[3], step[3];
};

// A point of the triangle or of its edges: no edge function on the outer
// side.
inline bool InsideOrOn(const CoverageCoefficients& k, const std::int64_t c[3]) {
  if (k.orientation > 0) return c[0] >= 0 && c[1] >= 0 && c[2] >= 0;
  if (k.orientation < 0) return c[0] <= 0 && c[1] <= 0 && c[2] <= 0;
  return false;
}

// Starts the pass; false when no column is left.
inline bool StartPass(const ScanPlan& plan, const ActiveTriangle& a, std::int64_t y,
                      const ColumnWindow& window, RowPass& pass) {
  pass.j_lo = std::max(a.j_lo, window.first);
  pass.j_hi = std::min(a.j_hi, window.last);
  if (pass.j_hi - pass.j_lo > kWidestUnnarrowed) {
    NarrowColumns(a.coverage, y, plan.lattice.x_min, plan.lattice.pitch, &pass.j_lo, &pass.j_hi);
  }
  if (pass.j_lo > pass.j_hi) return false;
  pass.x = plan.lattice.x_min + pass.j_lo * plan.lattice.pitch;
  EdgeFunctions(a.coverage, pass.x, y, pass.c);
  for (int e = 0; e < 3; ++e) pass.step[e] = -a.coverage.ey[e] * plan.lattice.pitch;
  return true;
}

}  // namespace pelmoro

// What the sweep and its ring of rows ahead do at a lattice point: the mode
// they compute in, one point of a branch-free pass, and what takes it.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "engine/magnitudes.h"
#include "engine/scan/scan_plan.h"

namespace pelmoro {

// What a point's height is: the highest covering plane height, or (the
// Surface mode) the height of the first covering triangle in file order.
enum class SweepMode { kHighest, kFirstCovering };

inline SweepMode SweepModeFor(bool first_covering) {
  return first_covering ? SweepMode::kFirstCovering : SweepMode::kHighest;
}

// Why the passes need no tests of their own. The coverage decision is the
// exact sum of the edge functions (easy_c is 0). N = z1 D + S stays below
// 2^53 in the bounding box, so it and D are exact doubles and their
// quotient q is correctly rounded: within |N / D| 2^-53 of the true value.
// At a covered point the true height lies between the vertices' z, below
// 2^20 in magnitude, so q is within 2^-33 of it, while a quotient that is
// not whole lies at least 1 / |D| >= 2^-32 from every whole number: q
// truncates to the same whole number as N / D. Elsewhere q is not used.

// One point of a pass: its coverage decision and height from the edge
// functions c and the numerator n there, handed to take(column, covered,
// z); then both step to the next column.
struct PassPoint {
  std::int64_t step[3], n_step, key;
  double d;

  template <typename Take>
  void operator()(std::int64_t c[3], std::int64_t& n, std::size_t column, Take& take) const {
    const std::int64_t sum = Magnitude(c[0]) + Magnitude(c[1]) + Magnitude(c[2]);
    // Below 2^53 in magnitude, so the conversion is defined; the height
    // of a covered point fits 32 bits.
    const auto z = static_cast<std::int32_t>(static_cast<std::int64_t>(static_cast<double>(n) / d));
    take(column, 500 * sum == key, z);
    for (int e = 0; e < 3; ++e) c[e] += step[e];
    n += n_step;
  }
};

// From a triangle's edge extents ey, plane terms Nx and D and area key, at
// the plan's pitch.
inline PassPoint PassPointOf(const ScanPlan& plan, const std::int64_t ey[3], std::int64_t nx,
                             std::int64_t d, std::int64_t key) {
  const std::int64_t p = plan.lattice.pitch;
  return {{-ey[0] * p, -ey[1] * p, -ey[2] * p}, -nx * p, key, static_cast<double>(d)};
}

// The numerator N = z1 D + S of the plane height at (x, y), of an
// ActiveTriangle or of the ring's box terms.
template <typename Plane>
std::int64_t NumeratorAt(const Plane& t, std::int64_t x, std::int64_t y) {
  return t.z1d + t.nx * (t.x1 - x) + t.ny * (t.y1 - y);
}

// Seeking the highest plane: a covered point takes its height if higher.
struct TakeHighest {
  std::int32_t* heights;
  void operator()(std::size_t column, bool covered, std::int32_t z) const {
    heights[column] = std::max(heights[column], covered ? z : INT32_MIN);
  }
};

// Seeking the first covering triangle, a row's lowest covering index so far
// per column (INT32_MAX: none) and its height there.
struct FirstCoveringRow {
  std::int32_t* first;
  std::int32_t* first_z;

  // Triangle `index`, covering the column when `covered`, at height z
  // there: taken when no lower index covers it yet. Selected rather than
  // branched on: covered or not is a coin toss along an edge.
  void Take(std::size_t column, bool covered, std::int32_t index, std::int32_t z) const {
    const bool take = covered && index < first[column];
    first[column] = take ? index : first[column];
    first_z[column] = take ? z : first_z[column];
  }
};

// The taker of a pass of triangle `index` seeking the first covering
// triangle.
struct TakeFirst {
  std::int32_t index;
  FirstCoveringRow row;
  void operator()(std::size_t column, bool covered, std::int32_t z) const {
    row.Take(column, covered, index, z);
  }
};

}  // namespace pelmoro

// Exact integer decisions for the coverage test, taken without Heron's
// formula wherever a bound on its rounding shows that they cannot differ
// from the area-sum test's answer.
#pragma once

#include <cstdint>

#include "engine/magnitudes.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

enum class Coverage : std::uint8_t { kUncovered, kCovered, kUndecided };

// What the fast decision needs of one stored triangle, prepared once per
// scan (or per row band) from its row in the store.
struct CoverageCoefficients {
  // Edge functions c_k(x, y) = ex[k] * (y - oy[k]) - ey[k] * (x - ox[k]) of
  // the edges v0-v1, v1-v2, v2-v0: twice the signed areas of the three
  // sub-triangles the area-sum test measures.
  std::int64_t ox[3], oy[3], ex[3], ey[3];
  std::int64_t key = 0;         // the area key as an integer
  double dq2 = 0;               // 2 * bound on Heron's error in q (square units^2)
  double sqrt_dq = 0;           // its error in an area when the area is 0
  std::int64_t easy_c = 0;      // |c| at or above which an edge's error is negligible
  double budget = 0;            // error allowed in thousandths before the answer may differ
  double outside_c = 0;         // a point with an edge function this far outside is uncovered
  int orientation = 0;          // sign of the edge functions inside the triangle (0: a line)
  bool usable = false;          // false: every point goes to the full test
  bool covers_nothing = false;  // area key 0
};

// A triangle spanning at most this many grid units in x and in y is
// decided exactly everywhere (easy_c 0), on its edges too.
inline constexpr std::int64_t kSmallTriangleSpan = 32;

// Prepares the coefficients of an ordered, measured triangle.
CoverageCoefficients PrepareCoverage(const Triangle& t, const TriangleMetrics& m);

// The area-sum test's answer for the point whose edge functions are c0, c1,
// c2, or kUndecided when Heron's rounding could change it. The point must
// lie in the triangle's bounding box (the test's range checks passed).
inline Coverage DecideCoverage(const CoverageCoefficients& k, std::int64_t c0, std::int64_t c1,
                               std::int64_t c2);

// DecideCoverage for points where some edge function is below easy_c.
Coverage DecideCoverageNearEdges(const CoverageCoefficients& k, std::int64_t a0, std::int64_t a1,
                                 std::int64_t a2);

inline Coverage DecideCoverage(const CoverageCoefficients& k, std::int64_t c0, std::int64_t c1,
                               std::int64_t c2) {
  if (!k.usable) return Coverage::kUndecided;
  if (k.covers_nothing) return Coverage::kUncovered;
  const std::int64_t a0 = Magnitude(c0), a1 = Magnitude(c1), a2 = Magnitude(c2);
  // Far from every edge: the sum key is exactly 500 (|c0| + |c1| + |c2|).
  if (a0 >= k.easy_c && a1 >= k.easy_c && a2 >= k.easy_c) {
    return 500 * (a0 + a1 + a2) == k.key ? Coverage::kCovered : Coverage::kUncovered;
  }
  return DecideCoverageNearEdges(k, a0, a1, a2);
}

// The lattice columns j (x = x0 + j * pitch) of row y that can be covered:
// outside them some edge function lies more than outside_c on the wrong
// side, which the area-sum test never calls covered. Narrows [*lo, *hi].
void NarrowColumns(const CoverageCoefficients& k, std::int64_t y, std::int64_t x0, int pitch,
                   std::int64_t* lo, std::int64_t* hi);

// NarrowColumns for rows y, y + pitch, y + 2 pitch ... one after the other:
// each bound is a quotient whose numerator grows by the same amount every
// row, so it steps, with its remainder, by whole numbers instead of taking a
// division a row.
class ColumnWalk {
 public:
  ColumnWalk(const CoverageCoefficients& k, std::int64_t y, std::int64_t x0, int pitch);
  // Narrows [*lo, *hi] to the current row's columns as NarrowColumns would
  // (an empty range may come out as another empty range), then moves to
  // the next row.
  void Next(std::int64_t* lo, std::int64_t* hi) {
    for (int e = 0; e < bounds_; ++e) {
      Bound& b = bound_[e];
      if (b.low) {
        *lo = *lo > -b.q ? *lo : -b.q;
      } else {
        *hi = *hi < b.q ? *hi : b.q;
      }
      b.q += b.q_step;
      b.r += b.r_step;
      if (b.r >= b.divisor) {
        b.r -= b.divisor;
        ++b.q;
      }
    }
    for (int e = 0; e < levels_; ++e) {
      if (level_[e].rest < 0) *hi = *lo - 1;
      level_[e].rest += level_[e].step;
    }
  }

 private:
  // floor(rest / divisor) = q with remainder r, 0 <= r < divisor; a lower
  // bound (-q) or an upper one (q).
  struct Bound {
    std::int64_t q, r, divisor, q_step, r_step;
    bool low;
  };
  // An edge along the row: no column at all while rest < 0.
  struct Level {
    std::int64_t rest, step;
  };
  Bound bound_[3];
  Level level_[3];
  int bounds_ = 0;
  int levels_ = 0;
};

// The edges v0-v1, v1-v2 and v2-v0 of a triangle: each one's first vertex
// (ox, oy) and its extent (ex, ey), the terms of its edge function.
inline void EdgeTerms(const Triangle& t, std::int64_t ox[3], std::int64_t oy[3], std::int64_t ex[3],
                      std::int64_t ey[3]) {
  for (int e = 0; e < 3; ++e) {
    const Vertex& from = t.v[e];
    const Vertex& to = t.v[(e + 1) % 3];
    ox[e] = from.x;
    oy[e] = from.y;
    ex[e] = std::int64_t{to.x} - from.x;
    ey[e] = std::int64_t{to.y} - from.y;
  }
}

// The three edge functions at (x, y), from those terms.
inline void EdgeFunctions(const std::int64_t ox[3], const std::int64_t oy[3],
                          const std::int64_t ex[3], const std::int64_t ey[3], std::int64_t x,
                          std::int64_t y, std::int64_t c[3]) {
  for (int e = 0; e < 3; ++e) c[e] = ex[e] * (y - oy[e]) - ey[e] * (x - ox[e]);
}

inline void EdgeFunctions(const CoverageCoefficients& k, std::int64_t x, std::int64_t y,
                          std::int64_t c[3]) {
  EdgeFunctions(k.ox, k.oy, k.ex, k.ey, x, y, c);
}

}  // namespace pelmoro

#include "engine/scan/fast_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace pelmoro {

// Why the integer decision equals the area-sum test's answer.
//
// With whole-number coordinates, twice the area of each sub-triangle is the
// integer |c_k| (the edge function), so the exact sum of the three areas
// scaled to the key's thousandths is X = 500 (|c0| + |c1| + |c2|), a whole
// number. The test computes each area with Heron's formula from side
// lengths rounded to doubles and compares WholePart(sum * 1000 + 0.5) with
// the key; if the computed sum, in thousandths, lies within B < 0.5 of X,
// that WholePart is exactly X and the test's answer is X == key.
//
// Bound on one sub-triangle with sides a, b, c <= M (all within the
// triangle's bounding box, so M^2 <= w^2 + h^2) and u = 2^-53:
//  - each side is sqrt(integer) in extended precision held as a double:
//    relative error <= u (1 + 2^-11);
//  - s = ((a + b) + c) / 2 rounded to a double is within 3.01 u M of the
//    true half-perimeter (three side errors / 2, two extended additions,
//    one rounding of s <= 1.5 M);
//  - each factor s - a, s - b, s - c (true values in [0, M]) and s (<= 1.5 M)
//    is then within d = 4.05 u M;
//  - so the product q, with its three extended roundings, is within
//    (1.5 M + d)(M + d)^3 - 1.5 M^4 + 3 * 2^-64 * 1.5 M^4 < 24 u M^4 = dq of
//    the true A^2;
//  - the area sqrt|q| is then within min(sqrt(dq), dq / A) of the true A,
//    where A = |c| / 2, plus its own roundings (extended, then double):
//    relative 1.001 u.
// The sum's two extended additions, the product by 1000 and the addition
// of 0.5 add relative 2^-62 at most. In thousandths, then:
//    B <= 1000 * sum_k min(sqrt(dq), 2 dq / |c_k|) * (1 + 2u) + 1.2 u X.
// X is at most 1500 times the bounding box's area for a point in it, so the
// last term is fixed per triangle; triangles too large for it to stay small,
// or for the integers to stay within 64 bits, always take the full test.
//
// Points outside. Beyond edge k the three areas add up to the triangle's
// area T plus |c_k|, so the test's sum exceeds T by at least |c_k| less its
// error (at most 3 sqrt(dq) plus the relative term), while the key exceeds
// 1000 T by at most the key's own error (sqrt(dq) plus the relative term)
// and a half. With |c_k| >= 4 sqrt(dq) + 2 (relative term) + 0.002 the sum
// key is past the area key: such points need no test at all.

namespace {

constexpr double kU = 1.0 / 9007199254740992.0;  // 2^-53
constexpr double kHalfWithMargin = 0.45;
constexpr std::int64_t kLargestSpan = std::int64_t{1} << 24;
constexpr double kLargestKey = 9007199254740992.0;  // 2^53: keys beyond compare inexactly
const double kSqrt24U = std::sqrt(24.0 * kU);
constexpr double kSmallOutside = 0.0025;

// The bound on Heron's rounding for a usable triangle spanning w by h
// grid units, and the edge-function thresholds it gives.
void SetRoundingBound(std::int64_t w, std::int64_t h, CoverageCoefficients& k) {
  const double diagonal2 = static_cast<double>(w * w + h * h);
  const double relative_term = 1.2 * kU * 1500.0 * static_cast<double>(w) * static_cast<double>(h);
  k.budget = kHalfWithMargin - relative_term;
  if (k.budget <= 0.1) {
    k.usable = false;
    return;
  }
  const double dq = 24.0 * kU * diagonal2 * diagonal2 * (1 + 1e-12);
  k.dq2 = 2 * dq;
  // sqrt(dq) is sqrt(24 u) times the squared diagonal; the constant and the
  // product are each correctly rounded, well inside the margin.
  k.sqrt_dq = kSqrt24U * diagonal2 * (1 + 1e-11);
  if (3000.0 * k.sqrt_dq * (1 + 1e-6) < k.budget) {
    // Each term is at most sqrt_dq, so a triangle this small is decided
    // exactly everywhere, on its edges too.
    k.easy_c = 0;
  } else {
    // With every |c| at least easy_c, the three terms stay within the
    // budget; edge functions are whole numbers, so the bound is taken up to
    // one (it stays far below 2^62 for a usable triangle).
    k.easy_c = static_cast<std::int64_t>(std::ceil(3000.0 * k.dq2 * (1 + 1e-9) / k.budget));
  }
  k.outside_c = 4.001 * k.sqrt_dq + 2 * relative_term / 1000 + 0.002;
}

}  // namespace

CoverageCoefficients PrepareCoverage(const Triangle& t, const TriangleMetrics& m) {
  CoverageCoefficients k;
  EdgeTerms(t, k.ox, k.oy, k.ex, k.ey);
  if (m.area_key == 0.0) {
    // The test never lets a triangle of area key 0 cover a point.
    k.usable = true;
    k.covers_nothing = true;
    return k;
  }
  const std::int64_t x_lo = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
  const std::int64_t x_hi = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
  const std::int64_t w = x_hi - x_lo;
  const std::int64_t h = std::int64_t{t.v[0].y} - t.v[2].y;
  if (w > kLargestSpan || h > kLargestSpan || !(m.area_key < kLargestKey)) return k;
  k.key = static_cast<std::int64_t>(m.area_key);
  const std::int64_t twice_area = k.ex[0] * -k.ey[2] - k.ey[0] * -k.ex[2];
  k.orientation = twice_area > 0 ? 1 : (twice_area < 0 ? -1 : 0);
  k.usable = true;
  if (w <= kSmallTriangleSpan && h <= kSmallTriangleSpan) {
    // The usual triangle, a few grid units across: with w, h <= 32 the
    // squared diagonal is at most 2048, so sqrt_dq <= 1.06e-4, three terms
    // stay below 0.32, under the budget of 0.45 less a relative term below
    // 1e-9, and a point 1 unit outside is past outside_c < 0.0025: decided
    // exactly everywhere, narrowed with no margin. The fields of the bound
    // are never read.
    k.easy_c = 0;
    k.outside_c = kSmallOutside;
    return k;
  }

  SetRoundingBound(w, h, k);
  return k;
}

namespace {

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Whether the edges can narrow a row at all.
bool Narrows(const CoverageCoefficients& k) {
  return k.usable && !k.covers_nothing && k.orientation != 0;
}

// orientation * c_e at column j of row y is a p j + (a x0 + b), with
//   a = -orientation ey_e, b = orientation (ex_e (y - oy_e) + ey_e ox_e).
// A column may be covered only where a p j + rest >= 0, rest being
// a x0 + b plus the margin: the edge functions are whole numbers, so at or
// above -outside_c means at or above -floor(outside_c).
struct EdgeBound {
  std::int64_t a, rest;
};

EdgeBound EdgeBoundAt(const CoverageCoefficients& k, int e, std::int64_t y, std::int64_t x0) {
  const std::int64_t a = -k.orientation * k.ey[e];
  const std::int64_t b = k.orientation * (k.ex[e] * (y - k.oy[e]) + k.ey[e] * k.ox[e]);
  return {a, a * x0 + b + static_cast<std::int64_t>(k.outside_c)};
}

}  // namespace

void NarrowColumns(const CoverageCoefficients& k, std::int64_t y, std::int64_t x0, int pitch,
                   std::int64_t* lo, std::int64_t* hi) {
  if (!Narrows(k)) return;
  for (int e = 0; e < 3 && *lo <= *hi; ++e) {
    const auto [a, rest] = EdgeBoundAt(k, e, y, x0);
    if (a == 0) {
      if (rest < 0) *hi = *lo - 1;
    } else if (a > 0) {
      *lo = std::max(*lo, -FloorDivide(rest, a * pitch));  // j >= ceil(-rest / (a p))
    } else {
      *hi = std::min(*hi, FloorDivide(rest, -a * pitch));  // j <= floor(rest / (-a p))
    }
  }
}

ColumnWalk::ColumnWalk(const CoverageCoefficients& k, std::int64_t y, std::int64_t x0, int pitch) {
  if (!Narrows(k)) return;
  for (int e = 0; e < 3; ++e) {
    // rest grows by orientation ex_e p a row.
    const auto [a, rest] = EdgeBoundAt(k, e, y, x0);
    const std::int64_t step = k.orientation * k.ex[e] * pitch;
    if (a == 0) {
      level_[levels_++] = {rest, step};
      continue;
    }
    Bound& bound = bound_[bounds_++];
    bound.low = a > 0;
    bound.divisor = Magnitude(a) * pitch;
    bound.q = FloorDivide(rest, bound.divisor);
    bound.r = rest - bound.q * bound.divisor;
    bound.q_step = FloorDivide(step, bound.divisor);
    bound.r_step = step - bound.q_step * bound.divisor;
  }
}

Coverage DecideCoverageNearEdges(const CoverageCoefficients& k, std::int64_t a0, std::int64_t a1,
                                 std::int64_t a2) {
  const auto term = [&k](double c) { return c == 0 ? k.sqrt_dq : std::min(k.sqrt_dq, k.dq2 / c); };
  const double bound = 1000.0 *
                       (term(static_cast<double>(a0)) + term(static_cast<double>(a1)) +
                        term(static_cast<double>(a2))) *
                       (1 + 1e-9);
  if (bound >= k.budget) return Coverage::kUndecided;
  return 500 * (a0 + a1 + a2) == k.key ? Coverage::kCovered : Coverage::kUncovered;
}

}  // namespace pelmoro

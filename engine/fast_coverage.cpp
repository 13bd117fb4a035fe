#include "engine/fast_coverage.h"

#include <algorithm>
#include <cmath>
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

namespace {

constexpr double kU = 1.0 / 9007199254740992.0;  // 2^-53
constexpr double kHalfWithMargin = 0.45;
constexpr std::int64_t kLargestSpan = std::int64_t{1} << 24;
constexpr double kLargestKey = 9007199254740992.0;  // 2^53: keys beyond compare inexactly

}  // namespace

CoverageCoefficients PrepareCoverage(const Triangle& t, const TriangleMetrics& m) {
  CoverageCoefficients k;
  for (int e = 0; e < 3; ++e) {
    const Vertex& a = t.v[e];
    const Vertex& b = t.v[(e + 1) % 3];
    k.ox[e] = a.x;
    k.oy[e] = a.y;
    k.ex[e] = std::int64_t{b.x} - a.x;
    k.ey[e] = std::int64_t{b.y} - a.y;
  }
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

  const double diagonal2 = static_cast<double>(w * w + h * h);
  const double relative_term = 1.2 * kU * 1500.0 * static_cast<double>(w) * static_cast<double>(h);
  k.budget = kHalfWithMargin - relative_term;
  if (k.budget <= 0.1) return k;
  const double dq = 24.0 * kU * diagonal2 * diagonal2 * (1 + 1e-12);
  k.dq2 = 2 * dq;
  k.sqrt_dq = std::sqrt(dq) * (1 + 1e-12);
  // With every |c| at least easy_c, the three terms stay within the budget.
  k.easy_c = 3000.0 * k.dq2 * (1 + 1e-9) / k.budget;
  k.key = static_cast<std::int64_t>(m.area_key);
  k.usable = true;
  return k;
}

Coverage DecideCoverage(const CoverageCoefficients& k, std::int64_t c0, std::int64_t c1,
                        std::int64_t c2) {
  if (!k.usable) return Coverage::kUndecided;
  if (k.covers_nothing) return Coverage::kUncovered;
  const std::int64_t a0 = std::llabs(c0), a1 = std::llabs(c1), a2 = std::llabs(c2);
  const auto exact = [&] {
    return 500 * (a0 + a1 + a2) == k.key ? Coverage::kCovered : Coverage::kUncovered;
  };
  const double e0 = static_cast<double>(a0), e1 = static_cast<double>(a1),
               e2 = static_cast<double>(a2);
  if (e0 >= k.easy_c && e1 >= k.easy_c && e2 >= k.easy_c) return exact();
  const auto term = [&k](double c) { return c == 0 ? k.sqrt_dq : std::min(k.sqrt_dq, k.dq2 / c); };
  const double bound = 1000.0 * (term(e0) + term(e1) + term(e2)) * (1 + 1e-9);
  return bound < k.budget ? exact() : Coverage::kUndecided;
}

}  // namespace pelmoro

#include "engine/scan/active_triangle.h"

#include <algorithm>

#include "engine/magnitudes.h"
#include "engine/scan/plane.h"
#include "foundation/wide_int.h"

namespace pelmoro {

namespace {

// The plane terms of the height formula, and whether 64-bit integers and a
// division hold them exactly: |S| and |N| below 2^53 for points of the
// triangle, |D| below 2^32 (then the extended quotient of N / D cannot
// round across a whole number, since |N| < 2^64), and products within
// 2^62. Int holds every product below exactly.
template <typename Int>
void PreparePlaneIn(const Triangle& t, std::int64_t width, ActiveTriangle& a) {
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  const auto [d, nx, ny] = ComputePlaneNormal<Int>(t);
  const Int z_far =
      std::max({Magnitude(Int{p0.z}), Magnitude(Int{p1.z}), Magnitude(Int{p2.z})}) + 1;
  const Int h = Int{p0.y} - p2.y;
  a.plane_exact = Magnitude(d) < (Int{1} << 32) && Magnitude(d) * z_far < kExactDouble &&
                  Magnitude(nx) * width + Magnitude(ny) * h < (Int{1} << 62);
  a.d = static_cast<std::int64_t>(d);
  a.nx = static_cast<std::int64_t>(nx);
  a.ny = static_cast<std::int64_t>(ny);
  a.x1 = p1.x;
  a.y1 = p1.y;
  a.z1d = a.plane_exact ? p1.z * a.d : 0;
}

// With x and y spans and every z below 2^20 in magnitude (z differences
// below 2^21), D stays below 2^41, Nx and Ny below 2^42, and every product
// and sum above below 2^63, so 64-bit integers do; otherwise 128-bit ones.
void PreparePlane(const Triangle& t, std::int64_t width, ActiveTriangle& a) {
  const auto small = [](std::int64_t v) { return Magnitude(v) < kSmallGridMagnitude; };
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  if (width < kSmallGridMagnitude && small(std::int64_t{p0.y} - p2.y) && small(p0.z) &&
      small(p1.z) && small(p2.z)) {
    PreparePlaneIn<std::int64_t>(t, width, a);
  } else {
    PreparePlaneIn<Int128>(t, width, a);
  }
}

}  // namespace

ActiveTriangle::ActiveTriangle(const ScanPlan& plan, std::int32_t i)
    : index(i),
      // Coverage reads x and y alone: the same from either side.
      coverage(PrepareCoverage(plan.store.triangle(static_cast<std::size_t>(i)),
                               plan.store.metrics(static_cast<std::size_t>(i)))) {
  const Triangle t = plan.Sided(i);
  y_top = t.v[0].y;
  z_top = std::max({t.v[0].z, t.v[1].z, t.v[2].z});
  const std::int64_t x_lo = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
  const std::int64_t x_hi = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
  j_lo = std::max<std::int64_t>(0, CeilByPitch(x_lo - plan.lattice.x_min, plan.lattice.pitch));
  j_hi = std::min<std::int64_t>(plan.lattice.columns - 1,
                                FloorByPitch(x_hi - plan.lattice.x_min, plan.lattice.pitch));
  PreparePlane(t, x_hi - x_lo, *this);
  // Level (Nx = Ny = 0, so S = 0) and D != 0: N = z1 D exactly, and N / D is
  // z1 exactly.
  level_at_floor = LevelAtFloor(t, plan.z_min);
  // plane_exact bounds |D| by 2^32 and |Nx| w + |Ny| h by 2^62, so the sum
  // below cannot overflow.
  const std::int32_t z_low = std::min({t.v[0].z, t.v[1].z, t.v[2].z});
  simple = coverage.usable && coverage.easy_c == 0 && plane_exact && d != 0 &&
           z_low > -kSmallGridMagnitude && z_top < kSmallGridMagnitude &&
           Magnitude(z1d) + Magnitude(nx) * (x_hi - x_lo) +
                   Magnitude(ny) * (std::int64_t{t.v[0].y} - t.v[2].y) <
               kExactDouble;
}

}  // namespace pelmoro

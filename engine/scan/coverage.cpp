#include "engine/scan/coverage.h"

#include "engine/magnitudes.h"
#include "engine/scan/plane.h"
#include "engine/triangle_metrics.h"
#include "foundation/real.h"
#include "foundation/wide_int.h"

namespace pelmoro {

bool TriangleCovers(const GeometryStore& store, std::int32_t i, std::int32_t x, std::int32_t y) {
  const Triangle& t = store.triangle(static_cast<std::size_t>(i));
  const Vertex& a = t.v[0];
  const Vertex& b = t.v[1];
  const Vertex& c = t.v[2];
  // Vertex 0 holds the largest y and vertex 2 the smallest.
  if (y < c.y || y > a.y) return false;
  if (x < a.x && x < b.x && x < c.x) return false;
  if (x > a.x && x > b.x && x > c.x) return false;
  const TriangleMetrics& m = store.metrics(static_cast<std::size_t>(i));
  if (m.area_key == 0.0) return false;

  const double d0 = PlanDistance(std::int64_t{a.x} - x, std::int64_t{a.y} - y);
  const double d1 = PlanDistance(std::int64_t{b.x} - x, std::int64_t{b.y} - y);
  const double d2 = PlanDistance(std::int64_t{c.x} - x, std::int64_t{c.y} - y);
  // Each sub-triangle takes its stored edge first, then the distances from
  // that edge's two ends: the argument order decides the last bits.
  const double a0 = TriangleArea(m.edge[0], d0, d1);
  const double a1 = TriangleArea(m.edge[1], d1, d2);
  const double a2 = TriangleArea(m.edge[2], d2, d0);
  return AreaKey((static_cast<Real>(a0) + a1) + a2) == m.area_key;
}

namespace {

// The plane through the three vertices, as z = z1 - S / D with D, Nx, Ny
// its normal and S = Nx (x1 - x) + Ny (y1 - y), all exact integers; N = z1 D + S is formed in
// extended precision and held as a double before the division.
template <typename Int>
struct PlaneTerms {
  Int d, s;
};

template <typename Int>
PlaneTerms<Int> ComputePlaneTerms(const Triangle& t, std::int32_t x, std::int32_t y) {
  const PlaneNormal<Int> n = ComputePlaneNormal<Int>(t);
  return {n.d, n.nx * (Int{t.v[1].x} - x) + n.ny * (Int{t.v[1].y} - y)};
}

// True when every difference the plane terms use stays below 2^20 in
// magnitude, so products of three of them fit 64 bits.
bool FitsInt64Terms(const Triangle& t, std::int32_t x, std::int32_t y) {
  auto small = [](std::int64_t v) { return Magnitude(v) < kSmallGridMagnitude; };
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  return small(std::int64_t{p1.x} - p0.x) && small(std::int64_t{p1.y} - p0.y) &&
         small(std::int64_t{p1.z} - p0.z) && small(std::int64_t{p2.x} - p0.x) &&
         small(std::int64_t{p2.y} - p0.y) && small(std::int64_t{p2.z} - p0.z) &&
         small(std::int64_t{p1.x} - x) && small(std::int64_t{p1.y} - y);
}

template <typename Int>
std::int32_t HeightFromTerms(std::int32_t z1, const PlaneTerms<Int>& terms) {
  if (terms.d == 0) return 0;
  const Real d = static_cast<Real>(terms.d);
  const double n = static_cast<double>(static_cast<Real>(z1) * d + static_cast<Real>(terms.s));
  return static_cast<std::int32_t>(TruncateReal(static_cast<Real>(n) / d));
}

}  // namespace

std::int32_t TriangleHeightAt(const GeometryStore& store, std::int32_t i, std::int32_t x,
                              std::int32_t y) {
  const Triangle& t = store.triangle(static_cast<std::size_t>(i));
  if (FitsInt64Terms(t, x, y)) {
    return HeightFromTerms(t.v[1].z, ComputePlaneTerms<std::int64_t>(t, x, y));
  }
  return HeightFromTerms(t.v[1].z, ComputePlaneTerms<Int128>(t, x, y));
}

}  // namespace pelmoro

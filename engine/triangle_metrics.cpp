#include "engine/triangle_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "foundation/real.h"
#include "foundation/wide_int.h"

namespace pelmoro {

void OrderTriangleVertices(Triangle& t) {
  if (t.v[0].y < t.v[1].y) std::swap(t.v[0], t.v[1]);
  if (t.v[0].y < t.v[2].y) std::swap(t.v[0], t.v[2]);
  if (t.v[1].y < t.v[2].y) std::swap(t.v[1], t.v[2]);
}

// Nothing here can raise a floating-point error: side lengths are below
// 2^33 grid units, so q stays far inside the extended range, and the square
// root is taken of |q|.
double TriangleArea(double a, double b, double c) {
  const Real perimeter = (static_cast<Real>(a) + b) + c;
  const double s = static_cast<double>(perimeter / 2);
  const Real ls = s;
  const Real q = (((ls - a) * ls) * (ls - b)) * (ls - c);
  return static_cast<double>(sqrtl(fabsl(q)));
}

double AreaKey(Real area) {
  const Real key = area * 1000 + 0.5L;
  // key >= 0.5. Below 2^31, which takes in nearly every triangle, the whole
  // part comes without a library call (and without switching the x87
  // rounding mode); it is the same whole number, and exact as a double.
  if (key < 2147483647.0L) return TruncateWithinInt32(key);
  return static_cast<double>(WholePart(key));
}

double PlanDistance(std::int64_t dx, std::int64_t dy) {
  // Coordinates are 32-bit, so a difference needs up to 33 bits and its
  // square up to 66: below 2^31 per axis the sum fits 63 bits and converts
  // exactly; beyond, a 128-bit sum is exact and rounds once on conversion.
  constexpr std::int64_t kSmall = std::int64_t{1} << 31;
  if (dx > -kSmall && dx < kSmall && dy > -kSmall && dy < kSmall) {
    const std::int64_t sum = dx * dx + dy * dy;
    return static_cast<double>(sqrtl(static_cast<Real>(sum)));
  }
  const UInt128 sum = static_cast<UInt128>(static_cast<Int128>(dx) * dx) +
                      static_cast<UInt128>(static_cast<Int128>(dy) * dy);
  return static_cast<double>(sqrtl(static_cast<Real>(sum)));
}

namespace {

// The plan-view lengths of edges v0-v1, v1-v2 and v2-v0.
void MeasureEdges(const Triangle& t, double edge[3]) {
  const Vertex& a = t.v[0];
  const Vertex& b = t.v[1];
  const Vertex& c = t.v[2];
  edge[0] = PlanDistance(std::int64_t{a.x} - b.x, std::int64_t{a.y} - b.y);
  edge[1] = PlanDistance(std::int64_t{b.x} - c.x, std::int64_t{b.y} - c.y);
  edge[2] = PlanDistance(std::int64_t{c.x} - a.x, std::int64_t{c.y} - a.y);
}

}  // namespace

TriangleMetrics ComputeTriangleMetrics(const Triangle& t) {
  TriangleMetrics m;
  MeasureEdges(t, m.edge);
  m.area_key = AreaKey(TriangleArea(m.edge[0], m.edge[1], m.edge[2]));
  return m;
}

void ComputeTriangleMetrics(const Triangle* triangles, TriangleMetrics* metrics, std::size_t n) {
  constexpr std::size_t kRun = 64;
  double area[kRun];
  for (std::size_t first = 0; first < n; first += kRun) {
    const std::size_t run = std::min(kRun, n - first);
    const Triangle* const t = triangles + first;
    TriangleMetrics* const m = metrics + first;
    for (std::size_t i = 0; i < run; ++i) MeasureEdges(t[i], m[i].edge);
    for (std::size_t i = 0; i < run; ++i) {
      area[i] = TriangleArea(m[i].edge[0], m[i].edge[1], m[i].edge[2]);
    }
    for (std::size_t i = 0; i < run; ++i) m[i].area_key = AreaKey(area[i]);
  }
}

void StoreTriangle(GeometryStore& store, std::size_t row) {
  Triangle& t = store.triangle(row);
  OrderTriangleVertices(t);
  store.metrics(row) = ComputeTriangleMetrics(t);
}

void StoreTriangle(GeometryStore& store, std::size_t row, const Triangle& t) {
  store.triangle(row) = t;
  StoreTriangle(store, row);
}

}  // namespace pelmoro

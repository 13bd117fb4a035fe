#include "engine/row_sweep.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/coverage.h"
#include "engine/plane.h"
#include "foundation/wide_int.h"

namespace pelmoro {

ScanPlan::ScanPlan(const GeometryStore& s, int p, std::int32_t n)
    : store(s), pitch(p), count(n), x0(s.bounds().x_min), z_min(s.bounds().z_min) {
  const ModelBounds& b = s.bounds();
  columns = static_cast<std::int32_t>(ColumnCount(b, p));
  // Ordered by the first lattice row each triangle reaches (its lowest y is
  // vertex 2's), index order within a row: a counting sort over the rows,
  // or a plain sort when rows far outnumber the triangles.
  const std::int64_t rows = RowCount(b, p);
  const auto first_row = [&](std::int32_t i) {
    const std::int64_t above = s.triangle(static_cast<std::size_t>(i)).v[2].y - std::int64_t{b.y_min};
    return std::clamp<std::int64_t>((above + p - 1) / p, 0, rows);
  };
  if (rows > 4 * std::int64_t{n} + 1024) {
    std::vector<std::uint64_t> keys(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
      keys[static_cast<std::size_t>(i)] = static_cast<std::uint64_t>(first_row(i)) << 32 |
                                          static_cast<std::uint32_t>(i);
    }
    std::sort(keys.begin(), keys.end());
    order.resize(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) order[k] = static_cast<std::int32_t>(keys[k]);
    return;
  }
  std::vector<std::uint32_t> row_of(static_cast<std::size_t>(n));
  std::vector<std::int32_t> start(static_cast<std::size_t>(rows) + 2, 0);
  for (std::int32_t i = 0; i < n; ++i) {
    row_of[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(first_row(i));
    ++start[row_of[static_cast<std::size_t>(i)] + 1];
  }
  for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  order.resize(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    order[static_cast<std::size_t>(start[row_of[static_cast<std::size_t>(i)]]++)] = i;
  }
}

namespace {

constexpr std::int64_t kExactDouble = std::int64_t{1} << 53;

// The plane terms of the height formula, and whether 64-bit integers and a
// division hold them exactly: |S| and |N| below 2^53 for points of the
// triangle, |D| below 2^32 (then the extended quotient of N / D cannot
// round across a whole number, since |N| < 2^64), and products within
// 2^62.
void PreparePlane(const Triangle& t, ActiveTriangle& a) {
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  const auto [d, nx, ny] = ComputePlaneNormal<Int128>(t);
  const auto magnitude = [](Int128 v) { return v < 0 ? -v : v; };
  const Int128 z_far = std::max({magnitude(p0.z), magnitude(p1.z), magnitude(p2.z)}) + 1;
  const Int128 w = a.x_hi - a.x_lo, h = Int128{p0.y} - p2.y;
  a.plane_exact = magnitude(d) < (Int128{1} << 32) &&
                  magnitude(d) * z_far < kExactDouble &&
                  magnitude(nx) * w + magnitude(ny) * h < (Int128{1} << 62);
  a.d = static_cast<std::int64_t>(d);
  a.nx = static_cast<std::int64_t>(nx);
  a.ny = static_cast<std::int64_t>(ny);
  a.x1 = p1.x;
  a.y1 = p1.y;
  a.z1d = a.plane_exact ? p1.z * a.d : 0;
}

ActiveTriangle Activate(const GeometryStore& store, std::int32_t i) {
  const Triangle& t = store.triangle(static_cast<std::size_t>(i));
  ActiveTriangle a;
  a.index = i;
  a.y_top = t.v[0].y;
  a.x_lo = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
  a.x_hi = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
  a.z_top = std::max({t.v[0].z, t.v[1].z, t.v[2].z});
  a.coverage = PrepareCoverage(t, store.metrics(static_cast<std::size_t>(i)));
  PreparePlane(t, a);
  return a;
}

// A point of the triangle or of its edges: no edge function on the outer
// side.
bool InsideOrOn(const CoverageCoefficients& k, const std::int64_t c[3]) {
  if (k.orientation > 0) return c[0] >= 0 && c[1] >= 0 && c[2] >= 0;
  if (k.orientation < 0) return c[0] <= 0 && c[1] <= 0 && c[2] <= 0;
  return false;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

RowSweeper::RowSweeper(const ScanPlan& plan)
    : plan_(plan), last_y_(INT64_MIN), heights_(static_cast<std::size_t>(plan.columns)) {}

void RowSweeper::FormatRow(std::int64_t row, bool surface, const RowSink& sink, std::string& text) {
  const std::int64_t y = plan_.store.bounds().y_min + row * plan_.pitch;
  ComputeRow(y, surface, heights_);
  sink.FormatRow(static_cast<std::int32_t>(y), static_cast<std::int32_t>(plan_.x0), plan_.pitch,
                 heights_, text);
}

void RowSweeper::Advance(std::int64_t y) {
  if (y < last_y_) {
    next_ = 0;
    active_.clear();
  }
  last_y_ = y;
  // Triangles that ended below this row leave; the order of the rest does
  // not matter, so the last one takes each leaver's place.
  for (std::size_t k = 0; k < active_.size();) {
    if (active_[k].y_top >= y) {
      ++k;
      continue;
    }
    if (k + 1 != active_.size()) active_[k] = active_.back();
    active_.pop_back();
  }
  const GeometryStore& store = plan_.store;
  while (next_ < plan_.order.size()) {
    const std::int32_t i = plan_.order[next_];
    const Triangle& t = store.triangle(static_cast<std::size_t>(i));
    if (t.v[2].y > y) break;
    // A triangle of area key 0 never covers anything.
    if (t.v[0].y >= y && store.metrics(static_cast<std::size_t>(i)).area_key != 0.0) {
      active_.push_back(Activate(store, i));
    }
    ++next_;
  }
}

std::int32_t RowSweeper::PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                                     std::int64_t y) const {
  if (a.plane_exact) {
    if (a.d == 0) return 0;
    const std::int64_t n = a.z1d + s;
    if (n > -kExactDouble && n < kExactDouble) return static_cast<std::int32_t>(n / a.d);
  }
  return TriangleHeightAt(plan_.store, a.index, static_cast<std::int32_t>(x),
                          static_cast<std::int32_t>(y));
}

void RowSweeper::SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface,
                               std::span<std::int32_t> heights) {
  const std::int64_t p = plan_.pitch;
  std::int64_t j_lo = std::max<std::int64_t>(0, CeilDiv(a.x_lo - plan_.x0, p));
  std::int64_t j_hi = std::min<std::int64_t>(plan_.columns - 1, FloorDiv(a.x_hi - plan_.x0, p));
  // Narrowing pays only for triangles wider than a few columns.
  if (j_hi - j_lo > 4) NarrowColumns(a.coverage, y, plan_.x0, plan_.pitch, &j_lo, &j_hi);
  if (j_lo > j_hi) return;
  std::int64_t x = plan_.x0 + j_lo * p;
  std::int64_t c[3];
  EdgeFunctions(a.coverage, x, y, c);
  const std::int64_t step[3] = {-a.coverage.ey[0] * p, -a.coverage.ey[1] * p,
                                -a.coverage.ey[2] * p};
  std::int64_t s = a.plane_exact ? a.nx * (a.x1 - x) + a.ny * (a.y1 - y) : 0;
  const std::int64_t s_step = -a.nx * p;
  for (std::int64_t j = j_lo; j <= j_hi; ++j) {
    const auto column = static_cast<std::size_t>(j);
    // Seeking the highest plane: a point of the triangle (or its edges) has a
    // plane height within its vertices' z, at most one more after rounding,
    // so a triangle entirely below the height found so far changes nothing.
    if (!surface && a.z_top < heights[column] && InsideOrOn(a.coverage, c)) {
      for (int e = 0; e < 3; ++e) c[e] += step[e];
      s += s_step;
      x += p;
      continue;
    }
    Coverage decision = DecideCoverage(a.coverage, c[0], c[1], c[2]);
    if (decision == Coverage::kUndecided) {
      decision = TriangleCovers(plan_.store, a.index, static_cast<std::int32_t>(x),
                                static_cast<std::int32_t>(y))
                     ? Coverage::kCovered
                     : Coverage::kUncovered;
    }
    if (decision == Coverage::kCovered) {
      if (surface) {
        first_[column] = std::min(first_[column], a.index);
      } else {
        const std::int32_t z = PlaneHeight(a, s, x, y);
        if (z > heights[column]) heights[column] = z;
      }
    }
    for (int e = 0; e < 3; ++e) c[e] += step[e];
    s += s_step;
    x += p;
  }
}

void RowSweeper::ComputeRow(std::int64_t y, bool surface, std::span<std::int32_t> heights) {
  Advance(y);
  std::fill(heights.begin(), heights.end(), plan_.z_min);
  if (surface) first_.assign(heights.size(), INT32_MAX);
  for (const ActiveTriangle& a : active_) SweepTriangle(a, y, surface, heights);
  if (!surface) return;
  for (std::size_t j = 0; j < heights.size(); ++j) {
    if (first_[j] == INT32_MAX) continue;
    const std::int64_t x = plan_.x0 + static_cast<std::int64_t>(j) * plan_.pitch;
    const std::int32_t z = TriangleHeightAt(plan_.store, first_[j], static_cast<std::int32_t>(x),
                                            static_cast<std::int32_t>(y));
    if (z > heights[j]) heights[j] = z;
  }
}

}  // namespace pelmoro

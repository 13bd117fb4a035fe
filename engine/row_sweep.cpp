#include "engine/row_sweep.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/coverage.h"
#include "engine/plane.h"
#include "foundation/wide_int.h"

namespace pelmoro {

namespace {

// Floor and ceiling of a / pitch for |a| < 2^40, by one double division
// instead of a slower integer one: a quotient that is not whole lies at
// least 1 / 255 from every whole number, and the rounded quotient is within
// 2^40 * 2^-53 of the true one, so both round the same way.
std::int64_t FloorByPitch(std::int64_t a, int pitch) {
  const double q = static_cast<double>(a) / pitch;
  const auto t = static_cast<std::int64_t>(q);  // toward zero
  return t - (static_cast<double>(t) > q ? 1 : 0);
}

std::int64_t CeilByPitch(std::int64_t a, int pitch) {
  const double q = static_cast<double>(a) / pitch;
  const auto t = static_cast<std::int64_t>(q);
  return t + (static_cast<double>(t) < q ? 1 : 0);
}

}  // namespace

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
    return std::clamp<std::int64_t>(CeilByPitch(above, p), 0, rows);
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
  // The first rows are worked out twice rather than kept: fresh memory costs
  // more than the arithmetic.
  std::vector<std::int32_t> start(static_cast<std::size_t>(rows) + 2, 0);
  for (std::int32_t i = 0; i < n; ++i) ++start[static_cast<std::size_t>(first_row(i)) + 1];
  for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  order.resize(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    order[static_cast<std::size_t>(start[static_cast<std::size_t>(first_row(i))]++)] = i;
  }
}

namespace {

constexpr std::int64_t kExactDouble = std::int64_t{1} << 53;

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
  const auto magnitude = [](Int v) { return v < 0 ? -v : v; };
  const Int z_far = std::max({magnitude(p0.z), magnitude(p1.z), magnitude(p2.z)}) + 1;
  const Int h = Int{p0.y} - p2.y;
  a.plane_exact = magnitude(d) < (Int{1} << 32) && magnitude(d) * z_far < kExactDouble &&
                  magnitude(nx) * width + magnitude(ny) * h < (Int{1} << 62);
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
  constexpr std::int64_t kSmall = std::int64_t{1} << 20;
  const auto small = [](std::int64_t v) { return v > -kSmall && v < kSmall; };
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  if (width < kSmall && small(std::int64_t{p0.y} - p2.y) && small(p0.z) && small(p1.z) &&
      small(p2.z)) {
    PreparePlaneIn<std::int64_t>(t, width, a);
  } else {
    PreparePlaneIn<Int128>(t, width, a);
  }
}

}  // namespace

ActiveTriangle::ActiveTriangle(const ScanPlan& plan, std::int32_t i)
    : index(i),
      coverage(PrepareCoverage(plan.store.triangle(static_cast<std::size_t>(i)),
                               plan.store.metrics(static_cast<std::size_t>(i)))) {
  const Triangle& t = plan.store.triangle(static_cast<std::size_t>(i));
  y_top = t.v[0].y;
  z_top = std::max({t.v[0].z, t.v[1].z, t.v[2].z});
  const std::int64_t x_lo = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
  const std::int64_t x_hi = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
  j_lo = std::max<std::int64_t>(0, CeilByPitch(x_lo - plan.x0, plan.pitch));
  j_hi = std::min<std::int64_t>(plan.columns - 1, FloorByPitch(x_hi - plan.x0, plan.pitch));
  PreparePlane(t, x_hi - x_lo, *this);
  // Level (Nx = Ny = 0, so S = 0) and D != 0: N = z1 D exactly, and N / D is
  // z1 exactly.
  level_at_floor =
      plane_exact && d != 0 && nx == 0 && ny == 0 && t.v[1].z <= plan.store.bounds().z_min;
  // plane_exact bounds |D| by 2^32 and |Nx| w + |Ny| h by 2^62, so the sum
  // below cannot overflow.
  constexpr std::int64_t kSmallHeight = std::int64_t{1} << 20;
  const std::int32_t z_low = std::min({t.v[0].z, t.v[1].z, t.v[2].z});
  simple = coverage.usable && coverage.easy_c == 0 && plane_exact && d != 0 &&
           z_low > -kSmallHeight && z_top < kSmallHeight &&
           (z1d < 0 ? -z1d : z1d) + (nx < 0 ? -nx : nx) * (x_hi - x_lo) +
                   (ny < 0 ? -ny : ny) * (std::int64_t{t.v[0].y} - t.v[2].y) <
               kExactDouble;
}

namespace {

// A point of the triangle or of its edges: no edge function on the outer
// side.
bool InsideOrOn(const CoverageCoefficients& k, const std::int64_t c[3]) {
  if (k.orientation > 0) return c[0] >= 0 && c[1] >= 0 && c[2] >= 0;
  if (k.orientation < 0) return c[0] <= 0 && c[1] <= 0 && c[2] <= 0;
  return false;
}

// Where a triangle's pass along row y starts: its columns there, narrowed
// when it is wider than a few (narrowing pays only then), the edge functions
// at the first, and their steps from column to column. False when no
// column is left.
struct RowPass {
  std::int64_t j_lo, j_hi, x;
  std::int64_t c[3], step[3];
};

bool StartPass(const ScanPlan& plan, const ActiveTriangle& a, std::int64_t y, RowPass& pass) {
  pass.j_lo = a.j_lo;
  pass.j_hi = a.j_hi;
  if (pass.j_hi - pass.j_lo > 4) {
    NarrowColumns(a.coverage, y, plan.x0, plan.pitch, &pass.j_lo, &pass.j_hi);
  }
  if (pass.j_lo > pass.j_hi) return false;
  pass.x = plan.x0 + pass.j_lo * plan.pitch;
  EdgeFunctions(a.coverage, pass.x, y, pass.c);
  for (int e = 0; e < 3; ++e) pass.step[e] = -a.coverage.ey[e] * plan.pitch;
  return true;
}

// Rows of the ring: up to 64 (a triangle of the relief spans a few rows at
// 0.1 mm, a few dozen at 0.025 mm), within 2 MB; none when fewer than 8 fit.
std::int64_t RingRowsFor(std::int32_t columns) {
  constexpr std::int64_t kRingBytes = std::int64_t{2} << 20;
  std::int64_t rows = 64;
  while (rows >= 8 && rows * columns * std::int64_t{sizeof(std::int32_t)} > kRingBytes) rows /= 2;
  return rows >= 8 ? rows : 0;
}

}  // namespace

RowSweeper::RowSweeper(const ScanPlan& plan)
    : plan_(plan),
      ring_rows_(RingRowsFor(plan.columns)),
      ring_(static_cast<std::size_t>(ring_rows_ * plan.columns), plan.z_min),
      heights_(static_cast<std::size_t>(plan.columns)) {}

void RowSweeper::FormatRow(std::int64_t row, bool surface, const RowSink& sink, std::string& text) {
  ComputeRow(row, surface, heights_);
  const std::int64_t y = plan_.store.bounds().y_min + row * plan_.pitch;
  sink.FormatRow(static_cast<std::int32_t>(y), static_cast<std::int32_t>(plan_.x0), plan_.pitch,
                 heights_, text);
}

std::span<std::int32_t> RowSweeper::RingRow(std::int64_t row) {
  const auto columns = static_cast<std::size_t>(plan_.columns);
  return {ring_.data() + static_cast<std::size_t>(row & (ring_rows_ - 1)) * columns, columns};
}

void RowSweeper::Restart() {
  next_ = 0;
  active_.Clear();
  level_.Clear();
  std::fill(ring_.begin(), ring_.end(), plan_.z_min);
}

// The next row is the one after the last, in the same mode, or the sweep
// starts over: lower rows, and the other mode (the ring holds only highest
// heights, and the active set lacks the ring's triangles), need everything
// entered again. Rows jumped over leave their ring rows empty for later
// rows; the ring rows beyond them keep what they hold.
void RowSweeper::MoveTo(std::int64_t row, bool surface) {
  if (last_row_ < 0 || row <= last_row_ || surface != last_surface_) {
    Restart();
  } else if (ring_rows_ > 0) {
    const std::int64_t end = std::min(row, last_row_ + ring_rows_);
    for (std::int64_t skipped = last_row_ + 1; skipped < end; ++skipped) {
      const std::span<std::int32_t> ring_row = RingRow(skipped);
      std::fill(ring_row.begin(), ring_row.end(), plan_.z_min);
    }
  }
  last_row_ = row;
  last_surface_ = surface;
}

void RowSweeper::Advance(std::int64_t row, std::int64_t y, bool surface) {
  const GeometryStore& store = plan_.store;
  const std::int64_t y_min = store.bounds().y_min;
  while (next_ < plan_.order.size()) {
    const std::int32_t i = plan_.order[next_];
    const Triangle& t = store.triangle(static_cast<std::size_t>(i));
    if (t.v[2].y > y) break;
    ++next_;
    // A triangle of area key 0 never covers anything, nor one lying
    // between two columns.
    if (t.v[0].y < y || store.metrics(static_cast<std::size_t>(i)).area_key == 0.0) continue;
    if (surface) {
      // Level floors go to their own set, swept last, when lower indices
      // have mostly covered their columns.
      const ActiveTriangle& a = active_.Prepare(plan_, i);
      if (a.j_lo > a.j_hi) {
        active_.DropLast();
      } else if (a.level_at_floor) {
        level_.Add(a);
        active_.DropLast();
      }
      continue;
    }
    // The highest plane never needs a level floor (the sweep starts over if
    // the mode changes).
    const ActiveTriangle a(plan_, i);
    if (a.j_lo > a.j_hi || a.level_at_floor) continue;
    const std::int64_t last = (std::int64_t{t.v[0].y} - y_min) / plan_.pitch;
    if (a.simple && last - row < ring_rows_) {
      for (std::int64_t r = row; r <= last; ++r) SweepSimple(a, y_min + r * plan_.pitch, RingRow(r));
      continue;
    }
    active_.Add(a);
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

// Why the loop below needs no tests of its own. The coverage decision is the
// exact sum of the edge functions (easy_c is 0). N = z1 D + S stays below
// 2^53 in the bounding box, so it and D are exact doubles and their
// quotient q is correctly rounded: within |N / D| 2^-53 of the true value.
// At a covered point the true height lies between the vertices' z, below
// 2^20 in magnitude, so q is within 2^-33 of it, while a quotient that is
// not whole lies at least 1 / |D| >= 2^-32 from every whole number: q
// truncates to the same whole number as N / D. Elsewhere q is not used.
void RowSweeper::SweepSimple(const ActiveTriangle& a, std::int64_t y,
                             std::span<std::int32_t> heights) {
  RowPass pass;
  if (!StartPass(plan_, a, y, pass)) return;
  std::int64_t* const c = pass.c;
  std::int64_t n = a.z1d + a.nx * (a.x1 - pass.x) + a.ny * (a.y1 - y);
  const std::int64_t n_step = -a.nx * plan_.pitch;
  const auto d = static_cast<double>(a.d);
  const std::int64_t key = a.coverage.key;
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi; ++j) {
    const std::int64_t sum = (c[0] < 0 ? -c[0] : c[0]) + (c[1] < 0 ? -c[1] : c[1]) +
                             (c[2] < 0 ? -c[2] : c[2]);
    // Below 2^53 in magnitude, so the conversion is defined; the height
    // of a covered point fits 32 bits. Covered or not is a coin toss along
    // an edge, so it selects rather than branches.
    const auto z = static_cast<std::int32_t>(static_cast<std::int64_t>(static_cast<double>(n) / d));
    std::int32_t& h = heights[static_cast<std::size_t>(j)];
    h = std::max(h, 500 * sum == key ? z : INT32_MIN);
    for (int e = 0; e < 3; ++e) c[e] += pass.step[e];
    n += n_step;
  }
}

void RowSweeper::SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, bool surface,
                                   std::span<std::int32_t> heights) {
  for (std::int64_t j = a.j_lo; j <= a.j_hi; ++j) {
    const auto column = static_cast<std::size_t>(j);
    if (surface && first_[column] < a.index) continue;  // a lower index covers it
    const auto x = static_cast<std::int32_t>(plan_.x0 + j * plan_.pitch);
    if (!TriangleCovers(plan_.store, a.index, x, static_cast<std::int32_t>(y))) continue;
    const std::int32_t z = TriangleHeightAt(plan_.store, a.index, x, static_cast<std::int32_t>(y));
    if (surface) {
      first_[column] = a.index;  // lower than what it held: see above
      first_z_[column] = z;
    } else if (z > heights[column]) {
      heights[column] = z;
    }
  }
}

void RowSweeper::SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface,
                               std::span<std::int32_t> heights) {
  // Too large for the integer decisions (whose edge functions might not
  // even fit 64 bits): every point takes the full test.
  if (!a.coverage.usable) {
    SweepWithFullTest(a, y, surface, heights);
    return;
  }
  if (!surface && a.simple) {
    SweepSimple(a, y, heights);
    return;
  }
  const std::int64_t p = plan_.pitch;
  RowPass pass;
  if (!StartPass(plan_, a, y, pass)) return;
  std::int64_t x = pass.x;
  std::int64_t c[3] = {pass.c[0], pass.c[1], pass.c[2]};
  const std::int64_t step[3] = {pass.step[0], pass.step[1], pass.step[2]};
  std::int64_t s = a.plane_exact ? a.nx * (a.x1 - x) + a.ny * (a.y1 - y) : 0;
  const std::int64_t s_step = -a.nx * p;
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi; ++j) {
    const auto column = static_cast<std::size_t>(j);
    // Seeking the highest plane: a point of the triangle (or its edges) has a
    // plane height within its vertices' z, at most one more after rounding,
    // so a triangle entirely below the height found so far changes nothing.
    // Seeking the first covering triangle, a column already covered by a
    // lower index cannot change.
    if (surface ? first_[column] < a.index
                : a.z_top < heights[column] && InsideOrOn(a.coverage, c)) {
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
      const std::int32_t z = PlaneHeight(a, s, x, y);
      if (surface) {
        first_[column] = a.index;  // lower than what it held: see above
        first_z_[column] = z;
      } else if (z > heights[column]) {
        heights[column] = z;
      }
    }
    for (int e = 0; e < 3; ++e) c[e] += step[e];
    s += s_step;
    x += p;
  }
}

void RowSweeper::ComputeRow(std::int64_t row, bool surface, std::span<std::int32_t> heights) {
  MoveTo(row, surface);
  const std::int64_t y = plan_.store.bounds().y_min + row * plan_.pitch;
  Advance(row, y, surface);
  if (!surface && ring_rows_ > 0) {
    // The ring's row becomes this row, and is emptied for the row that
    // takes its place.
    const std::span<std::int32_t> ring_row = RingRow(row);
    std::copy(ring_row.begin(), ring_row.end(), heights.begin());
    std::fill(ring_row.begin(), ring_row.end(), plan_.z_min);
  } else {
    std::fill(heights.begin(), heights.end(), plan_.z_min);
  }
  if (surface) {
    first_.assign(heights.size(), INT32_MAX);
    first_z_.resize(heights.size());
  }
  const auto sweep = [&](const ActiveTriangle& a) { SweepTriangle(a, y, surface, heights); };
  active_.ForEachReaching(y, sweep);
  if (!surface) return;
  level_.ForEachReaching(y, sweep);
  for (std::size_t j = 0; j < heights.size(); ++j) {
    if (first_[j] != INT32_MAX && first_z_[j] > heights[j]) heights[j] = first_z_[j];
  }
}

}  // namespace pelmoro

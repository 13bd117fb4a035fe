#include "engine/scan/row_sweep.h"

#include <algorithm>
#include <climits>

#include "engine/scan/coverage.h"
#include "engine/scan/plane.h"

namespace pelmoro {

// What a box pass reads of a triangle: its columns, the edge functions'
// terms and area key, and the plane terms, as ActiveTriangle holds them.
struct BoxTerms {
  std::int32_t index;
  std::int64_t j_lo, j_hi;
  std::int64_t ox[3], oy[3], ex[3], ey[3], key;
  std::int64_t d, nx, ny, x1, y1, z1d;
};

namespace {

// Rows of the ring: up to 64 (a triangle of the relief spans a few rows at
// 0.1 mm, a few dozen at 0.025 mm), within 2 MB; none when fewer than 8 fit.
std::int64_t RingRowsFor(std::int64_t columns) {
  constexpr std::int64_t kRingBytes = std::int64_t{2} << 20;
  std::int64_t rows = 64;
  while (rows >= 8 && rows * columns * std::int64_t{sizeof(std::int32_t)} > kRingBytes) rows /= 2;
  return rows >= 8 ? rows : 0;
}

// Why the passes below need no tests of their own. The coverage decision is
// the exact sum of the edge functions (easy_c is 0). N = z1 D + S stays
// below 2^53 in the bounding box, so it and D are exact doubles and their
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
    const std::int64_t sum =
        (c[0] < 0 ? -c[0] : c[0]) + (c[1] < 0 ? -c[1] : c[1]) + (c[2] < 0 ? -c[2] : c[2]);
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
PassPoint PassPointOf(const ScanPlan& plan, const std::int64_t ey[3], std::int64_t nx,
                      std::int64_t d, std::int64_t key) {
  const std::int64_t p = plan.lattice.pitch;
  return {{-ey[0] * p, -ey[1] * p, -ey[2] * p}, -nx * p, key, static_cast<double>(d)};
}

// The numerator N = z1 D + S of the plane height at (x, y), of an
// ActiveTriangle or of BoxTerms.
template <typename Plane>
std::int64_t NumeratorAt(const Plane& t, std::int64_t x, std::int64_t y) {
  return t.z1d + t.nx * (t.x1 - x) + t.ny * (t.y1 - y);
}

// Calls take(column, covered, z) for each column of the triangle's pass
// along row y; column counts from the window's first. Covered or not is a
// coin toss along an edge, so callers select rather than branch on it.
template <typename Take>
void SimplePass(const ScanPlan& plan, const ActiveTriangle& a, std::int64_t y,
                const ColumnWindow& w, Take take) {
  RowPass pass;
  if (!StartPass(plan, a, y, w, pass)) return;
  std::int64_t n = NumeratorAt(a, pass.x, y);
  const PassPoint point = PassPointOf(plan, a.coverage.ey, a.nx, a.d, a.coverage.key);
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi; ++j) {
    point(pass.c, n, static_cast<std::size_t>(j - w.first), take);
  }
}

// SimplePass over rows first to last of a wide triangle, whole rows, its
// columns narrowed row after row by a walk; take_row(row) gives the taker of
// each row.
template <typename TakeRow>
void WalkPass(const ScanPlan& plan, const ActiveTriangle& a, std::int64_t first, std::int64_t last,
              TakeRow take_row) {
  const Lattice& lattice = plan.lattice;
  ColumnWalk walk(a.coverage, lattice.Y(first), lattice.x_min, lattice.pitch);
  const PassPoint point = PassPointOf(plan, a.coverage.ey, a.nx, a.d, a.coverage.key);
  for (std::int64_t r = first; r <= last; ++r) {
    std::int64_t j_lo = a.j_lo, j_hi = a.j_hi;
    walk.Next(&j_lo, &j_hi);
    if (j_lo > j_hi) continue;
    const std::int64_t x = lattice.X(j_lo);
    const std::int64_t y = lattice.Y(r);
    std::int64_t c[3];
    EdgeFunctions(a.coverage, x, y, c);
    std::int64_t n = NumeratorAt(a, x, y);
    auto take = take_row(r);
    for (std::int64_t j = j_lo; j <= j_hi; ++j) point(c, n, static_cast<std::size_t>(j), take);
  }
}

BoxTerms BoxTermsOf(const ActiveTriangle& a) {
  const CoverageCoefficients& k = a.coverage;
  BoxTerms b{a.index, a.j_lo, a.j_hi, {}, {}, {}, {}, k.key, a.d, a.nx, a.ny, a.x1, a.y1, a.z1d};
  for (int e = 0; e < 3; ++e) {
    b.ox[e] = k.ox[e];
    b.oy[e] = k.oy[e];
    b.ex[e] = k.ex[e];
    b.ey[e] = k.ey[e];
  }
  return b;
}

// The same as SimplePass for every point of a narrow triangle's box, rows
// first to last (whole rows: the columns are the lattice's); take_row(row)
// gives the taker of each row. The edge functions and the numerator step
// from row to row as they do from column to column, exactly, so each point
// gets what its own row's pass would give it.
template <typename TakeRow>
void BoxPass(const ScanPlan& plan, const BoxTerms& b, std::int64_t first, std::int64_t last,
             TakeRow take_row) {
  const std::int64_t p = plan.lattice.pitch;
  const std::int64_t x = plan.lattice.X(b.j_lo);
  const std::int64_t y = plan.lattice.Y(first);
  std::int64_t c_row[3];
  EdgeFunctions(b.ox, b.oy, b.ex, b.ey, x, y, c_row);
  std::int64_t n_row = NumeratorAt(b, x, y);
  const PassPoint point = PassPointOf(plan, b.ey, b.nx, b.d, b.key);
  for (std::int64_t r = first; r <= last; ++r) {
    auto take = take_row(r);
    std::int64_t c[3] = {c_row[0], c_row[1], c_row[2]};
    std::int64_t n = n_row;
    for (std::int64_t j = b.j_lo; j <= b.j_hi; ++j) point(c, n, static_cast<std::size_t>(j), take);
    for (int e = 0; e < 3; ++e) c_row[e] += b.ex[e] * p;
    n_row -= b.ny * p;
  }
}

// Seeking the highest plane: a covered point takes its height if higher.
struct TakeHighest {
  std::int32_t* heights;
  void operator()(std::size_t column, bool covered, std::int32_t z) const {
    heights[column] = std::max(heights[column], covered ? z : INT32_MIN);
  }
};

// Seeking the first covering triangle: a covered point takes this
// triangle's index and height when no lower index covers it yet.
struct TakeFirst {
  std::int32_t index;
  std::int32_t* first;
  std::int32_t* first_z;
  void operator()(std::size_t column, bool covered, std::int32_t z) const {
    const bool take = covered && index < first[column];
    first[column] = take ? index : first[column];
    first_z[column] = take ? z : first_z[column];
  }
};

}  // namespace

RowSweeper::RowSweeper(const ScanPlan& plan)
    : plan_(plan),
      // Rows cut into pieces take no ring: it would be consumed piece by piece.
      ring_rows_(plan.layout.per_row > 1 ? 0 : RingRowsFor(plan.lattice.columns)) {
  ring_.Assign(static_cast<std::size_t>(ring_rows_ * plan.lattice.columns), plan.z_min);
}

std::span<std::int32_t> RowSweeper::RowOf(const MappedArray<std::int32_t>& ring, std::int64_t row) {
  const auto columns = static_cast<std::size_t>(plan_.lattice.columns);
  return {ring.data() + static_cast<std::size_t>(row & (ring_rows_ - 1)) * columns, columns};
}

void RowSweeper::EmptyRingRow(std::int64_t row) {
  const std::span<std::int32_t> heights = RingRow(row);
  std::fill(heights.begin(), heights.end(), plan_.z_min);
  if (!ring_first_.empty()) {
    const std::span<std::int32_t> first = RingFirstRow(row);
    std::fill(first.begin(), first.end(), INT32_MAX);
  }
}

void RowSweeper::Restart() {
  next_ = 0;
  active_.Clear();
  level_.Clear();
  pending_.clear();
  std::fill(ring_.begin(), ring_.end(), plan_.z_min);
  std::fill(ring_first_.begin(), ring_first_.end(), INT32_MAX);
}

// The next row is the one after the last, in the same mode, or the sweep
// starts over: lower rows, and the other mode (the ring holds only highest
// heights, and the active set lacks the ring's triangles), need everything
// entered again. Rows jumped over leave their ring rows empty for later
// rows; the ring rows beyond them keep what they hold. A row past the run
// starts a new one, and the triangles the last run left pending go on.
void RowSweeper::MoveTo(std::int64_t row, bool surface, std::int64_t run_last) {
  // Another piece of the row computed last needs nothing new, unless the
  // ring (which a row takes whole) was consumed by it.
  const bool same_row_again = row == last_row_ && ring_rows_ > 0;
  if (surface && ring_first_.size() != ring_.size()) {
    ring_first_.Assign(ring_.size(), INT32_MAX);  // the first covering triangle's ring
  }
  const bool restart =
      last_row_ < 0 || row < last_row_ || same_row_again || surface != last_surface_;
  if (restart) {
    Restart();
  } else if (ring_rows_ > 0) {
    const std::int64_t end = std::min(row, last_row_ + ring_rows_);
    for (std::int64_t skipped = last_row_ + 1; skipped < end; ++skipped) EmptyRingRow(skipped);
  }
  last_row_ = row;
  last_surface_ = surface;
  if (!restart && row <= run_last_) return;
  run_last_ = std::max(row, run_last);
  if (pending_.empty()) return;
  std::swap(resumed_, pending_);  // Enter may keep some pending again
  const std::int64_t y = plan_.lattice.Y(row);
  for (const std::int32_t i : resumed_) Enter(i, row, y, surface);
  resumed_.clear();
}

// The last row a triangle entering the ring is swept through now; one
// reaching further is kept pending.
std::int64_t RowSweeper::RingLast(std::int32_t i, std::int64_t last) {
  if (last <= run_last_) return last;
  pending_.push_back(i);
  return run_last_;
}

void RowSweeper::Advance(std::int64_t row, std::int64_t y, bool surface) {
  const GeometryStore& store = plan_.store;
  while (next_ < plan_.order.size()) {
    const std::int32_t i = plan_.order[next_];
    if (store.triangle(static_cast<std::size_t>(i)).v[2].y > y) break;
    ++next_;
    Enter(i, row, y, surface);
  }
}

// Triangle i, reaching row `row` (at y) from below or lower, joins the
// sweep from that row on.
void RowSweeper::Enter(std::int32_t i, std::int64_t row, std::int64_t y, bool surface) {
  const GeometryStore& store = plan_.store;
  const Triangle& t = store.triangle(static_cast<std::size_t>(i));
  // A triangle of area key 0 never covers anything, nor one lying between
  // two columns, nor one ending below the row.
  const double area_key = store.metrics(static_cast<std::size_t>(i)).area_key;
  if (t.v[0].y < y || area_key == 0.0) return;
  if (SweepSmallIntoRing(i, t, area_key, row, surface)) return;
  const ActiveTriangle& a = active_.Prepare(plan_, i);
  if (a.j_lo > a.j_hi || (!surface && a.level_at_floor)) {
    // The highest plane never needs a level floor (the sweep starts over
    // if the mode changes).
    active_.DropLast();
    return;
  }
  const std::int64_t last = (std::int64_t{t.v[0].y} - store.bounds().y_min) / plan_.lattice.pitch;
  if (a.simple && !a.level_at_floor && last - row < ring_rows_) {
    SweepIntoRing(a, row, RingLast(i, last), surface);
    active_.DropLast();
  } else if (surface && a.level_at_floor) {
    // Level floors go to their own set, swept last, when lower indices
    // have mostly covered their columns; one after the last triangle that
    // raises a height changes nothing.
    if (a.index < plan_.last_raising) level_.Add(a);
    active_.DropLast();
  }
}

// Hands pass(take_row) the takers of the ring's rows for triangle `index`:
// the lowest covering index and its height, or the highest height.
template <typename Pass>
void RowSweeper::IntoRing(std::int32_t index, bool surface, Pass pass) {
  if (surface) {
    pass([this, index](std::int64_t r) {
      return TakeFirst{index, RingFirstRow(r).data(), RingRow(r).data()};
    });
  } else {
    pass([this](std::int64_t r) { return TakeHighest{RingRow(r).data()}; });
  }
}

void RowSweeper::SweepIntoRing(const ActiveTriangle& a, std::int64_t row, std::int64_t last,
                               bool surface) {
  if (a.j_hi - a.j_lo <= kWidestUnnarrowed) {
    BoxIntoRing(BoxTermsOf(a), row, last, surface);
    return;
  }
  IntoRing(a.index, surface, [&](auto take_row) { WalkPass(plan_, a, row, last, take_row); });
}

void RowSweeper::BoxIntoRing(const BoxTerms& b, std::int64_t row, std::int64_t last, bool surface) {
  IntoRing(b.index, surface, [&](auto take_row) { BoxPass(plan_, b, row, last, take_row); });
}

// The usual triangle, a few grid units across with modest heights, that
// enters the ring narrow: its box pass set up straight from its vertices,
// with the terms ActiveTriangle would give it, and none of the rest. Such a
// triangle is always `simple` there (its coverage is decided exactly
// everywhere, its plane terms are exact in 64 bits far below 2^53) unless
// it is level at z min or its plan area is 0 (D = 0). False: it needs the
// general way.
bool RowSweeper::SweepSmallIntoRing(std::int32_t i, const Triangle& t, double area_key,
                                    std::int64_t row, bool surface) {
  constexpr std::int32_t kSmallHeight = std::int32_t{1} << 20;
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  const std::int64_t x_lo = std::min({p0.x, p1.x, p2.x});
  const std::int64_t x_hi = std::max({p0.x, p1.x, p2.x});
  const std::int32_t z_lo = std::min({p0.z, p1.z, p2.z});
  const std::int32_t z_hi = std::max({p0.z, p1.z, p2.z});
  if (ring_rows_ == 0 || x_hi - x_lo > kSmallTriangleSpan ||
      std::int64_t{p0.y} - p2.y > kSmallTriangleSpan || z_lo <= -kSmallHeight ||
      z_hi >= kSmallHeight || z_hi == plan_.z_min) {
    return false;
  }
  const Lattice& lattice = plan_.lattice;
  BoxTerms b;
  b.index = i;
  const double inverse = plan_.inverse_pitch;
  b.j_lo = std::max<std::int64_t>(0, CeilByPitch(x_lo - lattice.x_min, lattice.pitch, inverse));
  b.j_hi = std::min<std::int64_t>(lattice.columns - 1,
                                  FloorByPitch(x_hi - lattice.x_min, lattice.pitch, inverse));
  if (b.j_lo > b.j_hi) return true;  // between two columns: nothing to cover
  const std::int64_t last =
      FloorByPitch(std::int64_t{p0.y} - lattice.y_min, lattice.pitch, inverse);
  if (b.j_hi - b.j_lo > kWidestUnnarrowed || last - row >= ring_rows_) return false;
  const auto [d, nx, ny] = ComputePlaneNormal<std::int64_t>(t);
  if (d == 0) return false;
  EdgeTerms(t, b.ox, b.oy, b.ex, b.ey);
  b.key = static_cast<std::int64_t>(area_key);
  b.d = d;
  b.nx = nx;
  b.ny = ny;
  b.x1 = p1.x;
  b.y1 = p1.y;
  b.z1d = p1.z * d;
  BoxIntoRing(b, row, RingLast(i, last), surface);
  return true;
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

void RowSweeper::SweepSimple(const ActiveTriangle& a, std::int64_t y, const ColumnWindow& w,
                             std::span<std::int32_t> heights) {
  SimplePass(plan_, a, y, w, TakeHighest{heights.data()});
}

void RowSweeper::SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, bool surface,
                                   const ColumnWindow& w, std::span<std::int32_t> heights) {
  const std::int64_t last = std::min(a.j_hi, w.last);
  for (std::int64_t j = std::max(a.j_lo, w.first); j <= last; ++j) {
    const auto column = static_cast<std::size_t>(j - w.first);
    if (surface && first_now_[column] < a.index) continue;  // a lower index covers it
    const auto x = static_cast<std::int32_t>(plan_.lattice.x_min + j * plan_.lattice.pitch);
    if (!TriangleCovers(plan_.store, a.index, x, static_cast<std::int32_t>(y))) continue;
    const std::int32_t z = TriangleHeightAt(plan_.store, a.index, x, static_cast<std::int32_t>(y));
    if (surface) {
      first_now_[column] = a.index;  // lower than what it held: see above
      first_z_now_[column] = z;
    } else if (z > heights[column]) {
      heights[column] = z;
    }
  }
}

void RowSweeper::SweepTriangle(const ActiveTriangle& a, std::int64_t y, bool surface,
                               const ColumnWindow& w, std::span<std::int32_t> heights) {
  // Too large for the integer decisions (whose edge functions might not
  // even fit 64 bits): every point takes the full test.
  if (!a.coverage.usable) {
    SweepWithFullTest(a, y, surface, w, heights);
    return;
  }
  if (!surface && a.simple) {
    SweepSimple(a, y, w, heights);
    return;
  }
  const std::int64_t p = plan_.lattice.pitch;
  RowPass pass;
  if (!StartPass(plan_, a, y, w, pass)) return;
  std::int64_t x = pass.x;
  std::int64_t c[3] = {pass.c[0], pass.c[1], pass.c[2]};
  const std::int64_t step[3] = {pass.step[0], pass.step[1], pass.step[2]};
  std::int64_t s = a.plane_exact ? a.nx * (a.x1 - x) + a.ny * (a.y1 - y) : 0;
  const std::int64_t s_step = -a.nx * p;
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi; ++j) {
    const auto column = static_cast<std::size_t>(j - w.first);
    // Seeking the highest plane: a point of the triangle (or its edges) has a
    // plane height within its vertices' z, at most one more after rounding,
    // so a triangle entirely below the height found so far changes nothing.
    // Seeking the first covering triangle, a column already covered by a
    // lower index cannot change.
    if (surface ? first_now_[column] < a.index
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
        first_now_[column] = a.index;  // lower than what it held: see above
        first_z_now_[column] = z;
      } else if (z > heights[column]) {
        heights[column] = z;
      }
    }
    for (int e = 0; e < 3; ++e) c[e] += step[e];
    s += s_step;
    x += p;
  }
}

void RowSweeper::ComputeRow(std::int64_t row, bool surface, std::int64_t first_column,
                            std::span<std::int32_t> heights, const SweepCancel* cancel,
                            std::int64_t run_last) {
  const ColumnWindow w{first_column, first_column + static_cast<std::int64_t>(heights.size()) - 1};
  MoveTo(row, surface, run_last);
  const std::int64_t y = plan_.lattice.Y(row);
  Advance(row, y, surface);
  // The ring's row (a whole row: rows in pieces take no ring) becomes this
  // row, and is emptied for the row that takes its place. Seeking the first
  // covering triangle, the sweep goes on in the ring's row itself.
  const std::int32_t z_min = plan_.z_min;
  if (surface) {
    if (ring_rows_ > 0) {
      first_now_ = RingFirstRow(row).data();
      first_z_now_ = RingRow(row).data();
    } else {
      first_.assign(heights.size(), INT32_MAX);
      first_z_.resize(heights.size());
      first_now_ = first_.data();
      first_z_now_ = first_z_.data();
    }
  } else if (ring_rows_ > 0) {
    std::int32_t* const ring_row = RingRow(row).data();
    for (std::size_t j = 0; j < heights.size(); ++j) {
      heights[j] = ring_row[j];
      ring_row[j] = z_min;
    }
    if (!ring_first_.empty()) std::ranges::fill(RingFirstRow(row), INT32_MAX);
  } else {
    std::fill(heights.begin(), heights.end(), z_min);
  }
  // A piece no longer wanted is left as it stands; its triangles still
  // leave the active set as they should.
  const auto sweep = [&](const ActiveTriangle& a) {
    if (cancel == nullptr || !cancel->Cancelled()) SweepTriangle(a, y, surface, w, heights);
  };
  active_.ForEachReaching(y, sweep);
  if (!surface) return;
  level_.ForEachReaching(y, sweep);
  const auto merge = [&](std::size_t j) {
    heights[j] = first_now_[j] != INT32_MAX && first_z_now_[j] > z_min ? first_z_now_[j] : z_min;
  };
  if (ring_rows_ == 0) {
    for (std::size_t j = 0; j < heights.size(); ++j) merge(j);
    return;
  }
  for (std::size_t j = 0; j < heights.size(); ++j) {  // the ring's row emptied on the way
    merge(j);
    first_now_[j] = INT32_MAX;
    first_z_now_[j] = z_min;
  }
}

}  // namespace pelmoro

#include "engine/scan/row_ring.h"

#include <algorithm>
#include <climits>

#include "engine/magnitudes.h"
#include "engine/scan/plane.h"
#include "foundation/assert.h"

namespace pelmoro {

// What a box pass reads of a triangle: its columns, the edge functions'
// terms and area key, and the plane terms, as ActiveTriangle holds them.
struct BoxTerms {
  std::int32_t index;
  std::int64_t j_lo, j_hi;
  std::int64_t ox[3], oy[3], ex[3], ey[3], key;
  std::int64_t d, nx, ny, x1, y1, z1d;

  bool operator==(const BoxTerms&) const = default;
};

namespace {

// Rows of the ring: up to 64 (a triangle of the relief spans a few rows at
// 0.1 mm, a few dozen at 0.025 mm), within 2 MB; none when fewer than 8 fit.
// Rows cut into pieces take no ring: it would be consumed piece by piece.
std::int64_t RingRowsFor(const ScanPlan& plan) {
  if (plan.layout.per_row > 1) return 0;
  const std::int64_t columns = plan.lattice.columns;
  std::int64_t rows = 64;
  while (rows >= 8 && rows * columns * std::int64_t{sizeof(std::int32_t)} > RowRing::kBudgetBytes) {
    rows /= 2;
  }
  return rows >= 8 ? rows : 0;
}

// The pass of a wide triangle over rows first to last, whole rows, its
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

// The same as a row's own pass for every point of a narrow triangle's box,
// rows first to last (whole rows: the columns are the lattice's);
// take_row(row) gives the taker of each row. The edge functions and the
// numerator step from row to row as they do from column to column,
// exactly, so each point gets what its own row's pass would give it.
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

// The small set-up's promise (see SweepSmall), against the general
// preparation: the same columns, the same terms, and a triangle the
// general way would sweep into the ring too, through the same last row.
// Prepares the triangle again: for PELMORO_ASSERT only.
bool SameColumnsAsGeneral(const ScanPlan& plan, const BoxTerms& b) {
  const ActiveTriangle a(plan, b.index);
  return a.j_lo == b.j_lo && a.j_hi == b.j_hi;
}

bool SameAsGeneral(const ScanPlan& plan, const BoxTerms& b, std::int64_t last) {
  const ActiveTriangle a(plan, b.index);
  const std::int32_t top = plan.store.triangle(static_cast<std::size_t>(b.index)).v[0].y;
  const std::int64_t general_last = (std::int64_t{top} - plan.lattice.y_min) / plan.lattice.pitch;
  return a.simple && !a.level_at_floor && BoxTermsOf(a) == b && general_last == last;
}

}  // namespace

RowRing::RowRing(const ScanPlan& plan)
    : plan_(plan),
      columns_(static_cast<std::size_t>(plan.lattice.columns)),
      rows_(RingRowsFor(plan)) {
  heights_.Assign(static_cast<std::size_t>(rows_) * columns_, plan.z_min);
}

void RowRing::Prepare(SweepMode mode) {
  if (mode == SweepMode::kFirstCovering && first_.size() != heights_.size()) {
    first_.Assign(heights_.size(), INT32_MAX);
  }
}

void RowRing::Clear() {
  pending_.clear();
  std::fill(heights_.begin(), heights_.end(), plan_.z_min);
  std::fill(first_.begin(), first_.end(), INT32_MAX);
}

void RowRing::EmptyRow(std::int64_t row) {
  const std::span<std::int32_t> heights = Heights(row);
  std::fill(heights.begin(), heights.end(), plan_.z_min);
  if (HasFirst()) {
    const std::span<std::int32_t> first = First(row);
    std::fill(first.begin(), first.end(), INT32_MAX);
  }
}

void RowRing::EmptySkipped(std::int64_t last_row, std::int64_t row) {
  if (rows_ == 0) return;
  const std::int64_t end = std::min(row, last_row + rows_);
  for (std::int64_t skipped = last_row + 1; skipped < end; ++skipped) EmptyRow(skipped);
}

void RowRing::HandOver(std::int64_t row, std::span<std::int32_t> heights) {
  const std::int32_t z_min = plan_.z_min;
  std::int32_t* const ring_row = Heights(row).data();
  for (std::size_t j = 0; j < heights.size(); ++j) {
    heights[j] = ring_row[j];
    ring_row[j] = z_min;
  }
  if (HasFirst()) std::ranges::fill(First(row), INT32_MAX);
}

// The last row a triangle entering the ring is swept through now; one
// reaching further is kept pending.
std::int64_t RowRing::RunLast(std::int32_t i, std::int64_t last) {
  if (last <= run_last_) return last;
  pending_.push_back(i);
  return run_last_;
}

// Hands pass(take_row) the takers of the ring's rows for triangle `index`:
// the lowest covering index and its height, or the highest height.
template <typename Pass>
void RowRing::TakeInto(std::int32_t index, SweepMode mode, Pass pass) {
  if (mode == SweepMode::kFirstCovering) {
    pass([this, index](std::int64_t r) {
      return TakeFirst{index, {First(r).data(), Heights(r).data()}};
    });
  } else {
    pass([this](std::int64_t r) { return TakeHighest{Heights(r).data()}; });
  }
}

void RowRing::Sweep(const ActiveTriangle& a, std::int64_t row, std::int64_t last, SweepMode mode) {
  last = RunLast(a.index, last);
  if (a.j_hi - a.j_lo <= kWidestUnnarrowed) {
    SweepBox(BoxTermsOf(a), row, last, mode);
    return;
  }
  TakeInto(a.index, mode, [&](auto take_row) { WalkPass(plan_, a, row, last, take_row); });
}

void RowRing::SweepBox(const BoxTerms& b, std::int64_t row, std::int64_t last, SweepMode mode) {
  TakeInto(b.index, mode, [&](auto take_row) { BoxPass(plan_, b, row, last, take_row); });
}

// The usual triangle, a few grid units across with modest heights, that
// enters the ring narrow: its box pass set up straight from its vertices,
// with the terms ActiveTriangle would give it, and none of the rest. Such a
// triangle is always `simple` there (its coverage is decided exactly
// everywhere, its plane terms are exact in 64 bits far below 2^53) unless
// it is level at z min or its plan area is 0 (D = 0).
bool RowRing::SweepSmall(std::int32_t i, const Triangle& t, double area_key, std::int64_t row,
                         SweepMode mode) {
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  const std::int64_t x_lo = std::min({p0.x, p1.x, p2.x});
  const std::int64_t x_hi = std::max({p0.x, p1.x, p2.x});
  const std::int32_t z_lo = std::min({p0.z, p1.z, p2.z});
  const std::int32_t z_hi = std::max({p0.z, p1.z, p2.z});
  if (rows_ == 0 || x_hi - x_lo > kSmallTriangleSpan ||
      std::int64_t{p0.y} - p2.y > kSmallTriangleSpan || z_lo <= -kSmallGridMagnitude ||
      z_hi >= kSmallGridMagnitude || z_hi == plan_.z_min) {
    return false;
  }
  const Lattice& lattice = plan_.lattice;
  BoxTerms b;
  b.index = i;
  const double inverse = plan_.inverse_pitch;
  b.j_lo = std::max<std::int64_t>(0, CeilByPitch(x_lo - lattice.x_min, lattice.pitch, inverse));
  b.j_hi = std::min<std::int64_t>(lattice.columns - 1,
                                  FloorByPitch(x_hi - lattice.x_min, lattice.pitch, inverse));
  if (b.j_lo > b.j_hi) {  // between two columns: nothing to cover
    PELMORO_ASSERT(SameColumnsAsGeneral(plan_, b));
    return true;
  }
  const std::int64_t last =
      FloorByPitch(std::int64_t{p0.y} - lattice.y_min, lattice.pitch, inverse);
  if (b.j_hi - b.j_lo > kWidestUnnarrowed || !Holds(row, last)) return false;
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
  PELMORO_ASSERT(SameAsGeneral(plan_, b, last));
  SweepBox(b, row, RunLast(i, last), mode);
  return true;
}

}  // namespace pelmoro

#include "engine/scan/row_sweep.h"

#include <algorithm>
#include <climits>

#include "engine/scan/coverage.h"
#include "engine/scan/plane.h"
#include "engine/scan/sweep_point.h"

namespace pelmoro {

namespace {

// Calls take(column, covered, z) for each column of the triangle's pass
// along row y; column counts from the window's first. Covered or not is a
// coin toss along an edge, so callers select rather than branch on it. The
// pass goes in stretches of kPointsPerPoll points, and ends early once
// cancel (when given) says the piece is no longer wanted.
template <typename Take>
void SimplePass(const ScanPlan& plan, const ActiveTriangle& a, std::int64_t y,
                const ColumnWindow& w, Take take, SweepCancel* cancel) {
  RowPass pass;
  if (!StartPass(plan, a, y, w, pass)) return;
  std::int64_t n = NumeratorAt(a, pass.x, y);
  const PassPoint point = PassPointOf(plan, a.coverage.ey, a.nx, a.d, a.coverage.key);
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi;) {
    const std::int64_t end = std::min(pass.j_hi, j + kPointsPerPoll - 1);
    const std::int64_t points = end - j + 1;
    for (; j <= end; ++j) point(pass.c, n, static_cast<std::size_t>(j - w.first), take);
    if (cancel != nullptr && cancel->Count(points)) return;
  }
}

}  // namespace

RowSweeper::RowSweeper(const ScanPlan& plan) : plan_(plan), ring_(plan) {}

void RowSweeper::Restart() {
  next_ = 0;
  active_.Clear();
  level_.Clear();
  ring_.Clear();
}

// The next row is the one after the last, in the same mode, or the sweep
// starts over: lower rows, and the other mode (the ring holds only highest
// heights, and the active set lacks the ring's triangles), need everything
// entered again. Rows jumped over leave their ring rows empty for later
// rows; the ring rows beyond them keep what they hold. A row past the run
// starts a new one, and the triangles the last run left pending go on.
void RowSweeper::MoveTo(std::int64_t row, SweepMode mode, std::int64_t run_last) {
  // Another piece of the row computed last needs nothing new, unless the
  // ring (which a row takes whole) was consumed by it.
  const bool same_row_again = row == last_row_ && ring_.rows() > 0;
  ring_.Prepare(mode);
  const bool restart = last_row_ < 0 || row < last_row_ || same_row_again || mode != last_mode_;
  if (restart) {
    Restart();
  } else {
    ring_.EmptySkipped(last_row_, row);
  }
  last_row_ = row;
  last_mode_ = mode;
  if (!restart && ring_.InRun(row)) return;
  const std::int64_t y = plan_.lattice.Y(row);
  ring_.StartRun(row, run_last, [&](std::int32_t i) { Enter(i, row, y, mode); });
}

void RowSweeper::Advance(std::int64_t row, std::int64_t y, SweepMode mode) {
  const GeometryStore& store = plan_.store;
  while (next_ < plan_.order.size()) {
    const std::int32_t i = plan_.order[next_];
    if (store.triangle(static_cast<std::size_t>(i)).v[2].y > y) break;
    ++next_;
    Enter(i, row, y, mode);
  }
}

// Triangle i, reaching row `row` (at y) from below or lower, joins the
// sweep from that row on.
void RowSweeper::Enter(std::int32_t i, std::int64_t row, std::int64_t y, SweepMode mode) {
  const GeometryStore& store = plan_.store;
  const Triangle t = plan_.Sided(i);
  // A triangle of area key 0 never covers anything, nor one lying between
  // two columns, nor one ending below the row.
  const double area_key = store.metrics(static_cast<std::size_t>(i)).area_key;
  if (t.v[0].y < y || area_key == 0.0) return;
  if (ring_.SweepSmall(i, t, area_key, row, mode)) return;
  const ActiveTriangle& a = active_.Prepare(plan_, i);
  const bool first_covering = mode == SweepMode::kFirstCovering;
  if (a.j_lo > a.j_hi || (!first_covering && a.level_at_floor)) {
    // The highest plane never needs a level floor (the sweep starts over
    // if the mode changes).
    active_.DropLast();
    return;
  }
  // The triangle reaches this row (its top is at or above the row's y, which
  // is at or above the lattice's first): the quotient is a floor.
  const std::int64_t last = (std::int64_t{t.v[0].y} - plan_.lattice.y_min) / plan_.lattice.pitch;
  if (a.simple && !a.level_at_floor && ring_.Holds(row, last)) {
    ring_.Sweep(a, row, last, mode);
    active_.DropLast();
  } else if (first_covering && a.level_at_floor) {
    // Level floors go to their own set, swept last, when lower indices
    // have mostly covered their columns; one after the last triangle that
    // raises a height changes nothing.
    if (a.index < plan_.last_raising) level_.Add(a);
    active_.DropLast();
  }
}

std::int32_t RowSweeper::PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                                     std::int64_t y) const {
  if (a.plane_exact) {
    if (a.d == 0) return 0;
    const std::int64_t n = a.z1d + s;
    if (n > -kExactDouble && n < kExactDouble) return static_cast<std::int32_t>(n / a.d);
  }
  return plan_.SidedHeightAt(a.index, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

void RowSweeper::SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, SweepMode mode,
                                   const ColumnWindow& w, std::span<std::int32_t> heights,
                                   SweepCancel* cancel) {
  const bool first_covering = mode == SweepMode::kFirstCovering;
  const std::int64_t first = std::max(a.j_lo, w.first);
  const std::int64_t last = std::min(a.j_hi, w.last);
  // Every point takes the full test here, which is slow: the piece is
  // asked after every kPointsPerPoll of them.
  std::int64_t until_poll = kPointsPerPoll;
  for (std::int64_t j = first; j <= last; ++j) {
    if (--until_poll == 0) {
      until_poll = kPointsPerPoll;
      if (cancel != nullptr && cancel->Count(kPointsPerPoll)) return;
    }
    const auto column = static_cast<std::size_t>(j - w.first);
    if (first_covering && now_.first[column] < a.index) continue;  // a lower index covers it
    const auto x = static_cast<std::int32_t>(plan_.lattice.x_min + j * plan_.lattice.pitch);
    if (!TriangleCovers(plan_.store, a.index, x, static_cast<std::int32_t>(y))) continue;
    const std::int32_t z = plan_.SidedHeightAt(a.index, x, static_cast<std::int32_t>(y));
    if (first_covering) {
      now_.Take(column, true, a.index, z);
    } else if (z > heights[column]) {
      heights[column] = z;
    }
  }
}

void RowSweeper::SweepTriangle(const ActiveTriangle& a, std::int64_t y, SweepMode mode,
                               const ColumnWindow& w, std::span<std::int32_t> heights,
                               SweepCancel* cancel) {
  // Too large for the integer decisions (whose edge functions might not
  // even fit 64 bits): every point takes the full test.
  if (!a.coverage.usable) {
    SweepWithFullTest(a, y, mode, w, heights, cancel);
    return;
  }
  const bool first_covering = mode == SweepMode::kFirstCovering;
  if (!first_covering && a.simple) {
    SimplePass(plan_, a, y, w, TakeHighest{heights.data()}, cancel);
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
  std::int64_t until_poll = kPointsPerPoll;
  for (std::int64_t j = pass.j_lo; j <= pass.j_hi; ++j) {
    if (--until_poll == 0) {
      until_poll = kPointsPerPoll;
      if (cancel != nullptr && cancel->Count(kPointsPerPoll)) return;
    }
    const auto column = static_cast<std::size_t>(j - w.first);
    // Seeking the highest plane: a point of the triangle (or its edges) has a
    // plane height within its vertices' z, at most one more after rounding,
    // so a triangle entirely below the height found so far changes nothing.
    // Seeking the first covering triangle, a column already covered by a
    // lower index cannot change.
    if (first_covering ? now_.first[column] < a.index
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
      if (first_covering) {
        now_.Take(column, true, a.index, z);
      } else if (z > heights[column]) {
        heights[column] = z;
      }
    }
    for (int e = 0; e < 3; ++e) c[e] += step[e];
    s += s_step;
    x += p;
  }
}

// The ring's row (a whole row: rows in pieces take no ring) becomes this
// row, and is emptied for the row that takes its place. Seeking the first
// covering triangle, the sweep goes on in the ring's row itself.
void RowSweeper::StartRow(std::int64_t row, SweepMode mode, std::span<std::int32_t> heights) {
  if (mode == SweepMode::kFirstCovering) {
    if (ring_.rows() > 0) {
      now_ = {ring_.First(row).data(), ring_.Heights(row).data()};
    } else {
      first_.assign(heights.size(), INT32_MAX);
      first_z_.resize(heights.size());
      now_ = {first_.data(), first_z_.data()};
    }
  } else if (ring_.rows() > 0) {
    ring_.HandOver(row, heights);
  } else {
    std::fill(heights.begin(), heights.end(), plan_.z_min);
  }
}

// Seeking the first covering triangle: the heights from the row swept, the
// ring's row emptied on the way.
void RowSweeper::FinishFirstCovering(std::span<std::int32_t> heights) {
  const std::int32_t z_min = plan_.z_min;
  const auto merge = [&](std::size_t j) {
    heights[j] = now_.first[j] != INT32_MAX && now_.first_z[j] > z_min ? now_.first_z[j] : z_min;
  };
  if (ring_.rows() == 0) {
    for (std::size_t j = 0; j < heights.size(); ++j) merge(j);
    return;
  }
  for (std::size_t j = 0; j < heights.size(); ++j) {
    merge(j);
    now_.first[j] = INT32_MAX;
    now_.first_z[j] = z_min;
  }
}

void RowSweeper::ComputeRow(std::int64_t row, SweepMode mode, std::int64_t first_column,
                            std::span<std::int32_t> heights, SweepCancel* cancel,
                            std::int64_t run_last) {
  const ColumnWindow w{first_column, first_column + static_cast<std::int64_t>(heights.size()) - 1};
  MoveTo(row, mode, run_last);
  const std::int64_t y = plan_.lattice.Y(row);
  Advance(row, y, mode);
  StartRow(row, mode, heights);
  // A piece no longer wanted is left as it stands; its triangles still
  // leave the active set as they should. Every triangle counts as a point
  // of work at least, so that a row crossed by a great many short passes
  // is asked as often as one long pass.
  const auto sweep = [&](const ActiveTriangle& a) {
    if (cancel == nullptr) {
      SweepTriangle(a, y, mode, w, heights, nullptr);
    } else if (!cancel->Cancelled() && !cancel->Count(1)) {
      SweepTriangle(a, y, mode, w, heights, cancel);
    }
  };
  active_.ForEachReaching(y, sweep);
  if (mode == SweepMode::kFirstCovering) {
    level_.ForEachReaching(y, sweep);
    FinishFirstCovering(heights);
  }
  // From below the row was swept mirrored: its heights back the right way
  // up (one pass, many heights at a time).
  if (plan_.side == ScanSide::kBottom) {
    for (std::int32_t& h : heights) h = NegatedHeight(h);
  }
}

}  // namespace pelmoro

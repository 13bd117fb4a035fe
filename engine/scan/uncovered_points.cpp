#include "engine/scan/uncovered_points.h"

#include <algorithm>

#include "engine/scan/coverage.h"

namespace pelmoro {

UncoveredPoints::UncoveredPoints(const GeometryStore& store, const Lattice& lattice,
                                 std::int32_t count)
    : store_(store), lattice_(lattice) {
  order_.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    // A triangle of area key 0 covers nothing.
    if (store.metrics(static_cast<std::size_t>(i)).area_key != 0.0) order_.push_back(i);
  }
  // Vertices are ordered by y, largest first: v[2] is the lowest.
  std::stable_sort(order_.begin(), order_.end(), [&](std::int32_t a, std::int32_t b) {
    return store.triangle(static_cast<std::size_t>(a)).v[2].y <
           store.triangle(static_cast<std::size_t>(b)).v[2].y;
  });
}

void UncoveredPoints::MoveToRow(std::int64_t row) {
  row_ = row;
  const std::int64_t y = lattice_.Y(row);
  std::erase_if(active_, [&](const Active& a) {
    return store_.triangle(static_cast<std::size_t>(a.index)).v[0].y < y;
  });
  for (; next_ < order_.size(); ++next_) {
    const std::int32_t i = order_[next_];
    const Triangle& t = store_.triangle(static_cast<std::size_t>(i));
    if (t.v[2].y > y) break;
    if (t.v[0].y < y) continue;
    const std::int64_t x_lo = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
    const std::int64_t x_hi = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
    active_.push_back({i, CeilByPitch(x_lo - lattice_.x_min, lattice_.pitch),
                       FloorByPitch(x_hi - lattice_.x_min, lattice_.pitch),
                       PrepareCoverage(t, store_.metrics(static_cast<std::size_t>(i)))});
  }
}

void UncoveredPoints::Mark(const RowPiece& piece, std::int32_t floor,
                           std::vector<std::uint8_t>& uncovered) {
  if (piece.row != row_) MoveToRow(piece.row);
  const std::size_t n = piece.heights.size();
  uncovered.resize(n);
  // candidates_[k]: the floor points before column k of the piece, so that
  // a triangle over none of them is passed at once.
  candidates_.resize(n + 1);
  candidates_[0] = 0;
  for (std::size_t k = 0; k < n; ++k) {
    uncovered[k] = piece.heights[k] == floor ? 1 : 0;
    candidates_[k + 1] = candidates_[k] + uncovered[k];
  }
  if (candidates_[n] == 0) return;
  const auto y = static_cast<std::int32_t>(lattice_.Y(piece.row));
  const std::int64_t first = piece.first_column;
  const std::int64_t last = first + static_cast<std::int64_t>(n) - 1;
  for (const Active& a : active_) {
    // Within the triangle's x range, narrowed to the columns its edges
    // allow on this row: the points the coverage test may call covered.
    std::int64_t lo = std::max(first, a.j_lo), hi = std::min(last, a.j_hi);
    if (lo > hi) continue;
    NarrowColumns(a.coverage, y, lattice_.x_min, lattice_.pitch, &lo, &hi);
    if (lo > hi || candidates_[hi - first + 1] == candidates_[lo - first]) continue;
    for (std::int64_t j = lo; j <= hi; ++j) {
      const auto k = static_cast<std::size_t>(j - first);
      if (uncovered[k] == 0) continue;
      const std::int64_t x = lattice_.X(j);
      std::int64_t c[3];
      EdgeFunctions(a.coverage, x, y, c);
      Coverage decided = DecideCoverage(a.coverage, c[0], c[1], c[2]);
      if (decided == Coverage::kUndecided) {
        decided = TriangleCovers(store_, a.index, static_cast<std::int32_t>(x), y)
                      ? Coverage::kCovered
                      : Coverage::kUncovered;
      }
      if (decided == Coverage::kCovered) uncovered[k] = 0;
    }
  }
}

}  // namespace pelmoro

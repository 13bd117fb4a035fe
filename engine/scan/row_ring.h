// The ring of rows ahead of a sweep, and the passes that fill it.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "engine/scan/active_triangle.h"
#include "engine/scan/scan_plan.h"
#include "engine/scan/sweep_point.h"
#include "foundation/mapped_table.h"

namespace pelmoro {

struct BoxTerms;

// A small triangle (one taking the branch-free loop and spanning fewer rows
// than the ring holds) is swept over all its rows as it enters, into a ring
// of the rows ahead: the highest height so far of each point, or, seeking
// the first covering triangle, the lowest covering index so far and its
// height. A row of the ring is handed to the sweep when it computes that
// row, and emptied for the row that takes its place.
//
// Triangles go into the ring through the end of the current run of rows
// only: the rows past it may be skipped (another thread computes them), and
// their ring rows emptied unused. Those reaching past it wait, and are
// swept on from the first row asked for after it.
class RowRing {
 public:
  explicit RowRing(const ScanPlan& plan);

  // The most a ring takes: it holds as many rows as fit (up to 64).
  static constexpr std::int64_t kBudgetBytes = std::int64_t{2} << 20;
  // The most the rings of one sweep take in `mode`, which the pipeline
  // budgets for each worker whatever the lattice: a ring of heights, and
  // seeking the first covering triangle a ring of indices as well.
  static std::int64_t BudgetFor(SweepMode mode) {
    return mode == SweepMode::kFirstCovering ? 2 * kBudgetBytes : kBudgetBytes;
  }

  // Rows the ring holds, a power of two (0: no ring).
  std::int64_t rows() const { return rows_; }
  // Whether a triangle entering at row `row` and ending at row `last` fits
  // the ring.
  bool Holds(std::int64_t row, std::int64_t last) const { return last - row < rows_; }

  // Makes the ring ready for `mode`: the ring of indices is made the first
  // time the first covering triangle is sought, and kept.
  void Prepare(SweepMode mode);
  // Every row emptied and nothing pending: the sweep starts over.
  void Clear();
  // Empties the ring rows of the rows after last_row and before `row`,
  // jumped over by the sweep; the ring rows beyond them keep what they hold.
  void EmptySkipped(std::int64_t last_row, std::int64_t row);
  // Whether `row` belongs to the current run.
  bool InRun(std::int64_t row) const { return row <= run_last_; }
  // Starts a run at `row` through run_last (at least `row`); the triangles
  // the last run left pending go on: enter(i) for each, which may keep some
  // pending again.
  template <typename Enter>
  void StartRun(std::int64_t row, std::int64_t run_last, Enter enter) {
    run_last_ = std::max(row, run_last);
    if (pending_.empty()) return;
    std::swap(resumed_, pending_);
    for (const std::int32_t i : resumed_) enter(i);
    resumed_.clear();
  }

  // Sweeps `a` (simple, not level at z min, held by the ring) into rows
  // `row` to `last`, and no further than the run.
  void Sweep(const ActiveTriangle& a, std::int64_t row, std::int64_t last, SweepMode mode);
  // Triangle i (t, of area key area_key not 0, not ending below `row`),
  // entering at `row`, swept into the ring set up straight from its
  // vertices when it is the usual small one; true when it is done with
  // (swept, or between two columns). False: it needs the general way.
  bool SweepSmall(std::int32_t i, const Triangle& t, double area_key, std::int64_t row,
                  SweepMode mode);

  // The ring's row for lattice row `row` (rows() > 0): highest heights so
  // far, or seeking the first covering triangle the first's heights.
  std::span<std::int32_t> Heights(std::int64_t row) { return RowOf(heights_, row); }
  // The lowest covering index so far (INT32_MAX: none) of that row; only
  // once the first covering triangle has been sought.
  std::span<std::int32_t> First(std::int64_t row) { return RowOf(first_, row); }
  bool HasFirst() const { return !first_.empty(); }
  // Copies the ring's row into heights (a whole row) and empties it.
  void HandOver(std::int64_t row, std::span<std::int32_t> heights);

 private:
  std::span<std::int32_t> RowOf(const MappedArray<std::int32_t>& ring, std::int64_t row) {
    return {ring.data() + static_cast<std::size_t>(row & (rows_ - 1)) * columns_, columns_};
  }
  std::int64_t RunLast(std::int32_t i, std::int64_t last);
  void EmptyRow(std::int64_t row);
  void SweepBox(const BoxTerms& b, std::int64_t row, std::int64_t last, SweepMode mode);
  template <typename Pass>
  void TakeInto(std::int32_t index, SweepMode mode, Pass pass);

  const ScanPlan& plan_;
  std::size_t columns_;
  std::int64_t rows_;
  std::int64_t run_last_ = INT64_MAX;
  std::vector<std::int32_t> pending_;
  std::vector<std::int32_t> resumed_;  // those going on now
  // In mappings of their own: a wide lattice's ring is made of huge pages.
  MappedArray<std::int32_t> heights_;
  MappedArray<std::int32_t> first_;
};

}  // namespace pelmoro

// Heights of one lattice row, from only the triangles whose y range holds
// the row and, for each, only the lattice points of its own x range.
#pragma once

#include <climits>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/scan/active_triangle.h"
#include "engine/scan/row_ring.h"
#include "engine/scan/scan_plan.h"
#include "engine/scan/scan_poll.h"

namespace pelmoro {

// Sweeps rows upward for one thread; rows may also jump ahead or restart
// lower. Small triangles go into the ring of rows ahead as they enter (see
// RowRing); only the others stay in the active set from row to row.
class RowSweeper {
 public:
  explicit RowSweeper(const ScanPlan& plan);

  // Heights of lattice row `row` (0-based, from y min) from column
  // first_column on into heights (one per column), in `mode`: the highest
  // covering plane height or the first covering triangle's; never below
  // z min (from the plan's side: from below the lowest, never above z max,
  // swept as the mirrored model's top). Equal to the plain scan's. Once cancel says the piece is no
  // longer wanted, the heights are left unfinished. run_last is the last
  // row of the run of rows this one begins or belongs to, that the caller
  // will ask for one after the other: rows ahead are filled no further.
  void ComputeRow(std::int64_t row, SweepMode mode, std::int64_t first_column,
                  std::span<std::int32_t> heights, SweepCancel* cancel = nullptr,
                  std::int64_t run_last = INT64_MAX);

 private:
  void MoveTo(std::int64_t row, SweepMode mode, std::int64_t run_last);
  void Restart();
  void Advance(std::int64_t row, std::int64_t y, SweepMode mode);
  void Enter(std::int32_t i, std::int64_t row, std::int64_t y, SweepMode mode);
  void StartRow(std::int64_t row, SweepMode mode, std::span<std::int32_t> heights);
  void FinishFirstCovering(std::span<std::int32_t> heights);
  void SweepTriangle(const ActiveTriangle& a, std::int64_t y, SweepMode mode, const ColumnWindow& w,
                     std::span<std::int32_t> heights, SweepCancel* cancel);
  void SweepWithFullTest(const ActiveTriangle& a, std::int64_t y, SweepMode mode,
                         const ColumnWindow& w, std::span<std::int32_t> heights,
                         SweepCancel* cancel);
  std::int32_t PlaneHeight(const ActiveTriangle& a, std::int64_t s, std::int64_t x,
                           std::int64_t y) const;

  const ScanPlan& plan_;
  std::size_t next_ = 0;        // next entry of plan_.order to enter
  std::int64_t last_row_ = -1;  // the row computed last (-1: none yet)
  SweepMode last_mode_ = SweepMode::kHighest;
  ActiveSet active_;
  ActiveSet level_;  // level at z min, kept for the first covering triangle only
  RowRing ring_;
  // Seeking the first covering triangle, the row being computed: the ring's
  // row, or, with no ring, first_ and first_z_.
  FirstCoveringRow now_{};
  std::vector<std::int32_t> first_;
  std::vector<std::int32_t> first_z_;
};

}  // namespace pelmoro

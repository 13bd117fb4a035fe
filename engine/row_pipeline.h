// Rows computed and formatted ahead on worker threads and handed out in
// order to the thread that drives the scan.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "engine/row_sink.h"
#include "engine/scan_plan.h"
#include "engine/scan_row.h"

namespace pelmoro {

// How the rows move, and why nobody waits forever:
// - Rows below consumed_ have been written. The window of slots holds the
//   rows consumed_ .. consumed_ + slots - 1; row r lives in slot r % slots.
// - A worker claims a band of rows (next_claim_ onward), so that each
//   prepares mostly its own triangles, and computes it a batch at a time,
//   once the batch's slots are in the window; it publishes the batch under
//   the lock. A batch is shorter than the window, so the batch holding the
//   lowest row not yet written always has its slots: the driving thread
//   never waits on a worker that waits for it.
// - generation_ counts the changes of mode. A change sends the claims back
//   to the row the driving thread wants and marks every slot stale; rows a
//   worker computed in the old mode are dropped as it publishes them.
// - A thread sleeps only when what it waits for has not come, and is woken
//   when it may have: workers by every batch of rows written and by the
//   driving thread as it starts to wait; the driving thread by a published
//   batch.
class RowPipeline {
 public:
  // Starts `threads` workers computing rows from row 0 in the given mode.
  RowPipeline(const ScanPlan& plan, std::span<const RowFormatter* const> formatters,
              int threads, bool first_covering);
  ~RowPipeline();  // stops and joins the workers
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  const Lattice& lattice() const { return plan_.lattice; }
  // Row `row` (0-based) computed in the given mode; waits for it. Valid
  // until Done(row).
  const ScanRow& Row(std::int64_t row, bool first_covering);
  // The caller has written row `row`; its slot may take a later row.
  void Done(std::int64_t row);

 private:
  struct Slot {
    std::uint64_t generation = 0;
    bool ready = false;
    ScanRow data;
  };

  void Work();
  bool MayClaim() const;
  template <typename Condition>
  void WaitForWork(std::unique_lock<std::mutex>& lock, Condition condition) {
    ++waiting_workers_;
    work_.wait(lock, condition);
    --waiting_workers_;
  }
  bool HasSlot(std::int64_t row) const {
    return row < consumed_ + static_cast<std::int64_t>(slots_.size());
  }
  Slot& SlotOf(std::int64_t row) { return slots_[static_cast<std::size_t>(row) % slots_.size()]; }

  const ScanPlan& plan_;
  const std::span<const RowFormatter* const> formatters_;
  const std::int64_t rows_;
  const std::int64_t band_;        // rows a worker claims at once
  const std::int64_t batch_;       // rows it publishes at once
  std::mutex mutex_;
  std::condition_variable work_;   // workers wait here for a row to claim
  std::condition_variable ready_;  // the driving thread waits here for its row
  std::vector<Slot> slots_;
  std::int64_t next_claim_ = 0;
  std::int64_t consumed_ = 0;
  std::uint64_t generation_ = 0;
  bool first_covering_;
  bool stopping_ = false;
  bool driver_waits_ = false;      // the driving thread sleeps on ready_
  int waiting_workers_ = 0;        // workers sleeping on work_
  std::vector<std::thread> workers_;
};

}  // namespace pelmoro

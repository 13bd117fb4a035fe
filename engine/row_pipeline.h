// Rows computed and formatted ahead on worker threads and handed out in
// order to the thread that drives the scan. Workers claim bands of rows, so
// that each prepares mostly its own triangles.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/height_map_scan.h"
#include "engine/row_sweep.h"

namespace pelmoro {

class RowPipeline {
 public:
  // Starts `threads` workers computing rows from row 0 with the given
  // Surface state.
  RowPipeline(const ScanPlan& plan, const RowSink& sink, int threads, bool surface);
  ~RowPipeline();  // stops and joins the workers
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // The text of row `row` (0-based) computed with Surface state `surface`;
  // waits for it. Rows computed ahead with another state are discarded and
  // computed again. Valid until Done(row).
  const std::string& Row(std::int64_t row, bool surface);
  // The caller has written row `row`; its slot may take a later row.
  void Done(std::int64_t row);

 private:
  struct Slot {
    std::int64_t row = -1;
    std::uint64_t generation = 0;
    bool ready = false;
    std::string text;
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
  const RowSink& sink_;
  const std::int64_t rows_;
  const std::int64_t band_;        // rows a worker claims at once
  const std::int64_t batch_;       // rows it publishes at once
  std::mutex mutex_;
  std::condition_variable work_;   // workers wait here for a row to claim
  std::condition_variable ready_;  // the driving thread waits here for its row
  std::vector<Slot> slots_;        // a window of rows computed ahead
  std::int64_t next_claim_ = 0;
  std::int64_t consumed_ = 0;      // rows below this have been written
  std::uint64_t generation_ = 0;   // bumped when Surface changes
  bool surface_;
  bool stopping_ = false;
  bool driver_waits_ = false;      // the driving thread sleeps on ready_
  int waiting_workers_ = 0;        // workers sleeping on work_
  std::vector<std::thread> workers_;
};

}  // namespace pelmoro

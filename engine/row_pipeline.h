// Rows computed and formatted ahead on worker threads and handed out in
// order to the thread that drives the scan.
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
  Slot& SlotOf(std::int64_t row) { return slots_[static_cast<std::size_t>(row) % slots_.size()]; }

  const ScanPlan& plan_;
  const RowSink& sink_;
  const std::int64_t rows_;
  std::mutex mutex_;
  std::condition_variable work_;   // workers wait here for a row to claim
  std::condition_variable ready_;  // the driving thread waits here for its row
  std::vector<Slot> slots_;        // a window of rows computed ahead
  std::int64_t next_claim_ = 0;
  std::int64_t consumed_ = 0;      // rows below this have been written
  std::uint64_t generation_ = 0;   // bumped when Surface changes
  bool surface_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace pelmoro

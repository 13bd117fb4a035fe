// Rows computed and formatted ahead on worker threads and handed out in
// order to the thread that drives the scan.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <span>
#include <vector>

#include "engine/run_driver.h"
#include "engine/scan/row_sink.h"
#include "engine/scan/row_sweep.h"
#include "engine/scan/scan_plan.h"
#include "engine/scan/scan_poll.h"
#include "engine/scan/scan_row.h"
#include "engine/worker_threads.h"
#include "foundation/mutex.h"
#include "foundation/scratch_arena.h"

namespace pelmoro {

// How the pieces of rows (units, numbered as in PieceLayout) move, and why
// nobody waits forever or for long:
// - Units below consumed_ have been written. The window of slots holds the
//   units consumed_ .. consumed_ + slots - 1; unit u lives in slot
//   u % slots.
// - A worker claims a band of units (next_claim_ onward), so that each
//   prepares mostly its own triangles, and computes it a batch at a time,
//   once the batch's slots are in the window; it publishes the batch under
//   the lock. A batch is shorter than the window, so the batch holding the
//   lowest unit not yet written always has its slots: the driving thread
//   never waits on a worker that waits for it.
// - generation_ counts the changes of mode. A change sends the claims back
//   to the unit the driving thread wants and marks every slot stale; units
//   a worker computes in the old mode are cancelled and dropped.
// - needed_end_ is the end of what the driving thread will still take: the
//   whole lattice, then, once it has seen a stop, the unit it waits for
//   (that unit's row is dropped), and nothing when it leaves. A sweep whose
//   unit lies beyond it gives up within kPointsPerPoll points, so a stop or
//   an error never waits for rows nobody wants, however wide.
// - A thread sleeps only when what it waits for has not come, and is woken
//   when it may have: workers by every batch of units written and by the
//   driving thread as it starts to wait; the driving thread by a published
//   batch or a failed worker. While it waits it wakes about every 50 ms for
//   the driver's WhileWaiting.
// - A worker that fails (out of memory) records why and stops; the driving
//   thread raises it as it next waits.
// - The driving thread is one of the threads asked for: rather than wait
//   for a unit, it claims bands and computes them as the workers do, a
//   batch at a time, asking the driver (its poll) every few milliseconds
//   meanwhile. It
//   computes a batch only when its slots are in the window, and its own
//   band in order, so the unit it waits for is always either its own next
//   batch or a worker's.
class RowPipeline {
 public:
  // Starts up to `threads` - 1 workers (fewer when memory for their rows
  // would pass a fixed budget, or when the system refuses a thread)
  // computing units from unit 0 in the driver's current mode; the driving
  // thread computes too, asking the driver through `poll` as it does.
  RowPipeline(const ScanPlan& plan, std::span<const RowFormatter* const> formatters, int threads,
              RunDriver& driver, DriverPoll& poll);
  ~RowPipeline();  // cancels what is under way, stops and joins the workers
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // The workers that could be started besides the driving thread; with none
  // the caller computes its rows by itself instead.
  int workers() const { return workers_.size(); }
  const Lattice& lattice() const { return plan_.lattice; }
  const PieceLayout& layout() const { return plan_.layout; }
  // Unit `unit` computed in the given mode; waits for it. Valid until
  // Done(unit). Units are taken in order from 0, each Done before the next
  // is asked for. Null once the driver has asked to stop: nothing more is
  // computed then.
  const ScanRow* Piece(std::int64_t unit, bool first_covering) EXCLUDES(mutex_);
  // The caller has written unit `unit`, the last one Piece gave; its slot
  // may take a later one.
  void Done(std::int64_t unit) EXCLUDES(mutex_);

 private:
  struct Slot {
    std::uint64_t generation = 0;
    bool ready = false;
    ScanRow data;
  };

  // A band a thread has claimed: units next .. end - 1 still to compute,
  // in the mode of `generation`.
  struct Band {
    std::int64_t next = 0, end = 0;
    std::uint64_t generation = 0;
    bool first_covering = false;
  };

  void Work() EXCLUDES(mutex_);
  void WorkUntilStopped() EXCLUDES(mutex_);
  Band Claim() REQUIRES(mutex_);
  void ComputeBatch(RowSweeper& sweeper, std::vector<ScanRow>& batch, std::int64_t first,
                    std::int64_t end, std::int64_t band_end, std::uint64_t generation,
                    bool first_covering, ScanPoll* poll) EXCLUDES(mutex_);
  void Publish(std::vector<ScanRow>& batch, std::int64_t first, std::int64_t end,
               std::uint64_t generation) REQUIRES(mutex_);
  bool HelpOnce() REQUIRES(mutex_);
  bool WaitFor(std::int64_t unit) REQUIRES(mutex_);
  bool SleepUntilArrived(std::int64_t unit) REQUIRES(mutex_);
  bool Arrived(std::int64_t unit) REQUIRES(mutex_);
  bool MayClaim() const REQUIRES(mutex_);
  // One sleep on work_; the caller loops on what it waits for.
  void WaitForWork() REQUIRES(mutex_) {
    ++waiting_workers_;
    work_.Wait(mutex_);
    --waiting_workers_;
  }
  bool HasSlot(std::int64_t unit) const REQUIRES(mutex_) {
    return unit < consumed_ + static_cast<std::int64_t>(slots_.size());
  }
  Slot& SlotOf(std::int64_t unit) REQUIRES(mutex_) {
    return slots_[static_cast<std::size_t>(unit) % slots_.size()];
  }

  const ScanPlan& plan_;
  const std::span<const RowFormatter* const> formatters_;
  RunDriver& driver_;
  DriverPoll& poll_;  // the driving thread's alone
  const std::int64_t units_;
  const int planned_workers_;  // computing threads, the driving thread among them, within
                               // the memory budget and the threads asked for
  const std::int64_t band_;    // units a worker claims at once
  const std::int64_t batch_;   // units it publishes at once
  Mutex mutex_;
  CondVar work_;        // workers wait here for a unit to claim
  CondVar ready_;       // the driving thread waits here for its unit
  ScratchArena arena_;  // the room of every unit in flight
  std::vector<Slot> slots_ GUARDED_BY(mutex_);
  std::int64_t next_claim_ GUARDED_BY(mutex_) = 0;
  std::int64_t consumed_ GUARDED_BY(mutex_) = 0;
  // Written under the lock, read without it by the sweeps to give up early.
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<std::int64_t> needed_end_;
  bool first_covering_ GUARDED_BY(mutex_);
  bool stopping_ GUARDED_BY(mutex_) = false;
  bool driver_waits_ GUARDED_BY(mutex_) = false;   // the driving thread sleeps on ready_
  int waiting_workers_ GUARDED_BY(mutex_) = 0;     // workers sleeping on work_
  std::exception_ptr failure_ GUARDED_BY(mutex_);  // why a worker stopped
  // The driving thread's own sweep, batch and band.
  RowSweeper own_sweeper_;
  std::vector<ScanRow> own_batch_;
  Band own_ GUARDED_BY(mutex_);
  WorkerThreads workers_;
};

}  // namespace pelmoro

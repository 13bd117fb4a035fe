#include "engine/scan/row_pipeline.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "engine/scan/row_sweep.h"
#include "foundation/assert.h"

namespace pelmoro {

namespace {

// Memory the pipeline's units may take: the slots computed ahead, and each
// worker's own batch and sweep. Fixed, whatever the width of the rows or
// the threads asked for.
constexpr std::int64_t kSlotBytes = std::int64_t{32} << 20;
constexpr std::int64_t kWorkerBytes = std::int64_t{64} << 20;
constexpr std::int64_t kLongestBand = 32;
constexpr std::int64_t kLongestBatch = 4;
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

std::int64_t UnitBytes(const PieceLayout& layout, std::span<const RowFormatter* const> formatters) {
  std::int64_t per_point = sizeof(std::int32_t);
  for (const RowFormatter* f : formatters)
    per_point += static_cast<std::int64_t>(f->MaxBytesPerPoint());
  return layout.piece_columns * per_point;
}

// Workers whose batches and sweeps (ring_bytes for a sweep's rings of rows
// ahead) fit the budget, at least one.
int WorkersFor(int threads, std::int64_t unit_bytes, std::int64_t piece_columns,
               std::int64_t ring_bytes) {
  const std::int64_t per_worker = kLongestBatch * unit_bytes + ring_bytes +
                                  piece_columns * 2 * std::int64_t{sizeof(std::int32_t)};
  return static_cast<int>(std::clamp<std::int64_t>(kWorkerBytes / per_worker, 1, threads));
}

// Long bands share few triangles between workers; short ones keep every
// worker busy on small lattices. The units computed ahead, a band per
// worker and one more, stay within kSlotBytes.
std::int64_t BandFor(std::int64_t units, std::int64_t unit_bytes, int workers) {
  const std::int64_t by_units = units / (std::int64_t{workers} * 16);
  const std::int64_t by_memory =
      kSlotBytes / ((workers + 1) * std::max<std::int64_t>(1, unit_bytes));
  return std::clamp<std::int64_t>(std::min(by_units, by_memory), 1, kLongestBand);
}

// The room a unit's buffers take of the arena at most: heights and texts
// sized for the widest piece, and what aligning each may skip.
std::int64_t UnitArenaBytes(const PieceLayout& layout,
                            std::span<const RowFormatter* const> formatters) {
  constexpr std::int64_t kAlignmentSlack = 64;
  const auto texts = static_cast<std::int64_t>(formatters.size());
  return UnitBytes(layout, formatters) + kAlignmentSlack +
         texts * (static_cast<std::int64_t>(kRowEndRoom) + kAlignmentSlack);
}

}  // namespace

RowPipeline::RowPipeline(const ScanPlan& plan, std::span<const RowFormatter* const> formatters,
                         int threads, RunDriver& driver, DriverPoll& poll)
    : plan_(plan),
      formatters_(formatters),
      driver_(driver),
      poll_(poll),
      units_(plan.layout.units),
      // Counted in the mode the run starts in: seeking the first covering
      // triangle, a sweep keeps two rings.
      planned_workers_(WorkersFor(threads, UnitBytes(plan.layout, formatters),
                                  plan.layout.piece_columns,
                                  RowRing::BudgetFor(SweepModeFor(driver.FirstCoveringWanted())))),
      band_(BandFor(units_, UnitBytes(plan.layout, formatters), planned_workers_)),
      batch_(std::min(band_, kLongestBatch)),
      // The slots' buffers and the workers' batches circulate and keep
      // their room: they are all the memory of units in flight, and fresh
      // memory costs a fault a page, which in huge pages is one for 512.
      arena_(static_cast<std::size_t>(((planned_workers_ + 1) * band_ + planned_workers_ * batch_) *
                                      UnitArenaBytes(plan.layout, formatters))),
      needed_end_(units_),
      first_covering_(driver.FirstCoveringWanted()),
      own_sweeper_(plan),
      own_batch_(static_cast<std::size_t>(batch_), ScanRow(&arena_)) {
  const std::int64_t slots = (planned_workers_ + 1) * band_;
  // A batch shorter than the window: the batch holding the lowest unit not
  // yet written always has its slots.
  PELMORO_ASSERT(planned_workers_ >= 1 && batch_ >= 1 && batch_ <= band_ && batch_ < slots);
  slots_.reserve(static_cast<std::size_t>(slots));
  for (std::int64_t k = 0; k < slots; ++k) slots_.push_back(Slot{.data = ScanRow(&arena_)});
  // The driving thread is the last of the computing threads.
  workers_.Start(planned_workers_ - 1, [this] { Work(); });
}

RowPipeline::~RowPipeline() {
  {
    MutexLock lock(&mutex_);
    stopping_ = true;
    needed_end_ = -1;  // whatever is under way is cancelled
  }
  work_.SignalAll();
  workers_.Join();
}

bool RowPipeline::MayClaim() const {
  return next_claim_ < units_ && next_claim_ < needed_end_ && HasSlot(next_claim_);
}

void RowPipeline::Work() {
  try {
    WorkUntilStopped();
  } catch (...) {
    MutexLock lock(&mutex_);
    failure_ = std::current_exception();
    ready_.Signal();
  }
}

RowPipeline::Band RowPipeline::Claim() {
  PELMORO_ASSERT(MayClaim());
  Band band{next_claim_, std::min(units_, next_claim_ + band_), generation_, first_covering_};
  next_claim_ = band.end;
  return band;
}

void RowPipeline::WorkUntilStopped() {
  // Each worker keeps its own sweep and units; the units it claims rise,
  // except after a change of mode sends the claims back.
  RowSweeper sweeper(plan_);
  std::vector<ScanRow> batch_units(static_cast<std::size_t>(batch_), ScanRow(&arena_));
  MutexLock lock(&mutex_);
  for (;;) {
    while (!stopping_ && !MayClaim()) WaitForWork();
    if (stopping_) return;
    const Band band = Claim();
    for (std::int64_t batch = band.next; batch < band.end; batch += batch_) {
      const std::int64_t batch_end = std::min(band.end, batch + batch_);
      while (!stopping_ && band.generation == generation_ && !HasSlot(batch_end - 1)) {
        WaitForWork();
      }
      if (stopping_) return;
      if (band.generation != generation_) break;  // the claims were sent back
      {
        MutexUnlock unlocked(&mutex_);
        ComputeBatch(sweeper, batch_units, batch, batch_end, band.end, band.generation,
                     band.first_covering, nullptr);
      }
      if (band.generation != generation_) break;  // computed in a stale mode
      Publish(batch_units, batch, batch_end, band.generation);
    }
  }
}

// Puts computed units in their slots, under the lock; the slots' old
// buffers come back for reuse.
void RowPipeline::Publish(std::vector<ScanRow>& batch, std::int64_t first, std::int64_t end,
                          std::uint64_t generation) {
  // Units computed in an old mode are dropped, never published.
  PELMORO_ASSERT(generation == generation_);
  for (std::int64_t unit = first; unit < end; ++unit) {
    // The unit is in the window, and its slot's last unit has been written.
    PELMORO_ASSERT(unit >= consumed_ && HasSlot(unit));
    Slot& slot = SlotOf(unit);
    PELMORO_ASSERT(!slot.ready);
    slot.generation = generation;
    slot.ready = true;
    std::swap(slot.data, batch[static_cast<std::size_t>(unit - first)]);
  }
  if (driver_waits_) ready_.Signal();
}

// The driving thread computes the next batch of its own band, claiming a
// band when it has none left; false when there is nothing it may compute
// now (no band to claim, or the batch's slots not yet free).
bool RowPipeline::HelpOnce() {
  if (own_.generation != generation_) own_.next = own_.end;  // the claims were sent back
  if (own_.next >= own_.end) {
    if (!MayClaim()) return false;
    own_ = Claim();
  }
  const Band band = own_;
  const std::int64_t end = std::min(band.end, band.next + batch_);
  if (band.next >= needed_end_ || !HasSlot(end - 1)) return false;
  // Its own band in order: nothing of it is written before it is computed,
  // so the unit it waits for is its own next batch or a worker's.
  PELMORO_ASSERT(band.next >= consumed_);
  {
    MutexUnlock unlocked(&mutex_);
    ComputeBatch(own_sweeper_, own_batch_, band.next, end, band.end, band.generation,
                 band.first_covering, &poll_);
  }
  own_.next = end;
  if (poll_.stop_seen()) {
    // What it left unfinished is never published; nothing more is wanted.
    needed_end_ = consumed_;
  } else if (band.generation == generation_) {
    Publish(own_batch_, band.next, end, band.generation);
  }
  return true;
}

void RowPipeline::ComputeBatch(RowSweeper& sweeper, std::vector<ScanRow>& batch, std::int64_t first,
                               std::int64_t end, std::int64_t band_end, std::uint64_t generation,
                               bool first_covering, ScanPoll* poll) {
  // The rows after the band are most likely another worker's.
  const std::int64_t band_last_row = plan_.layout.Row(band_end - 1);
  for (std::int64_t unit = first; unit < end; ++unit) {
    ScanRow& r = batch[static_cast<std::size_t>(unit - first)];
    r.Place(plan_.layout, unit);
    SweepCancel cancel(&needed_end_, &generation_, unit, generation, poll);
    sweeper.ComputeRow(r.where.row, SweepModeFor(first_covering), r.where.first_column, r.heights,
                       &cancel, band_last_row);
    if (cancel.Cancelled()) return;  // nobody takes it: the rest of the batch neither
    FormatScanRow(plan_.lattice, formatters_, r);
  }
}

bool RowPipeline::Arrived(std::int64_t unit) {
  const Slot& slot = SlotOf(unit);
  return failure_ || (slot.ready && slot.data.unit == unit && slot.generation == generation_);
}

// Sleeps on ready_ until unit `unit` has arrived or a slice of time has
// passed; whether it arrived.
bool RowPipeline::SleepUntilArrived(std::int64_t unit) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitSlice;
  while (!Arrived(unit)) {
    if (!ready_.WaitUntil(mutex_, deadline)) return Arrived(unit);
  }
  return true;
}

// Waits for unit `unit`, letting the driver stay responsive meanwhile;
// false once the driver has asked to stop (then nothing more is wanted,
// the awaited unit included, and every sweep gives up).
bool RowPipeline::WaitFor(std::int64_t unit) {
  for (;;) {
    if (poll_.stop_seen()) {
      needed_end_ = std::min(needed_end_.load(), unit);
      return false;
    }
    if (Arrived(unit)) break;
    if (waiting_workers_ > 0) work_.SignalAll();
    bool came = false;
    if (!HelpOnce()) {
      driver_waits_ = true;
      came = SleepUntilArrived(unit);
      driver_waits_ = false;
    }
    if (came || poll_.stop_seen()) continue;
    MutexUnlock unlocked(&mutex_);
    driver_.WhileWaiting();  // may raise: the destructor then cancels everything
    poll_.Asked(driver_.StopRequested());
  }
  if (failure_) std::rethrow_exception(failure_);
  return true;
}

const ScanRow* RowPipeline::Piece(std::int64_t unit, bool first_covering) {
  MutexLock lock(&mutex_);
  PELMORO_ASSERT(unit == consumed_);  // units are taken in order
  if (first_covering != first_covering_) {
    first_covering_ = first_covering;
    ++generation_;
    next_claim_ = unit;
    for (Slot& slot : slots_) slot.ready = false;
    work_.SignalAll();
  }
  if (!WaitFor(unit)) return nullptr;
  return &SlotOf(unit).data;
}

void RowPipeline::Done(std::int64_t unit) {
  MutexLock lock(&mutex_);
  // The unit Piece gave last, still in its slot.
  PELMORO_ASSERT(unit == consumed_ && SlotOf(unit).ready && SlotOf(unit).data.unit == unit);
  SlotOf(unit).ready = false;
  consumed_ = unit + 1;
  if (waiting_workers_ > 0 && consumed_ % batch_ == 0) work_.SignalAll();
}

}  // namespace pelmoro

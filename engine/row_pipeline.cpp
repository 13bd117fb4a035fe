#include "engine/row_pipeline.h"

#include <algorithm>
#include <utility>

namespace pelmoro {

namespace {

// Long bands share few triangles between workers; short ones keep every
// worker busy on small lattices. The rows computed ahead, a band per worker
// and one more, are kept within about 32 MB of text.
std::int64_t BandFor(std::int64_t rows, std::int64_t columns, int threads) {
  constexpr std::int64_t kLongest = 32;
  constexpr std::int64_t kTextBytes = std::int64_t{32} << 20;
  constexpr std::int64_t kBytesPerPoint = 24;  // "x,y,z" and a line end, at most
  const std::int64_t by_rows = rows / (std::int64_t{threads} * 16);
  const std::int64_t by_memory = kTextBytes / ((threads + 1) * std::max<std::int64_t>(1, columns) * kBytesPerPoint);
  return std::clamp<std::int64_t>(std::min(by_rows, by_memory), 1, kLongest);
}

}  // namespace

RowPipeline::RowPipeline(const ScanPlan& plan, const RowSink& sink, int threads, bool surface)
    : plan_(plan),
      sink_(sink),
      rows_(RowCount(plan.store.bounds(), plan.pitch)),
      band_(BandFor(rows_, plan.columns, threads)),
      batch_(std::min<std::int64_t>(band_, 4)),
      slots_(static_cast<std::size_t>((threads + 1) * band_)),
      surface_(surface) {
  workers_.reserve(static_cast<std::size_t>(threads));
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& t : workers_) t.join();
}

bool RowPipeline::MayClaim() const { return next_claim_ < rows_ && HasSlot(next_claim_); }

void RowPipeline::Work() {
  // Each worker keeps its own sweep, heights and texts; rows it claims rise,
  // except after a Surface change sends the claims back. Rows are published
  // a few at a time, so that neither side wakes the other for every row.
  RowSweeper sweeper(plan_);
  std::vector<std::string> texts(static_cast<std::size_t>(batch_));
  std::unique_lock lock(mutex_);
  for (;;) {
    WaitForWork(lock, [this] { return stopping_ || MayClaim(); });
    if (stopping_) return;
    const std::int64_t first = next_claim_;
    const std::int64_t end = std::min(rows_, first + band_);
    next_claim_ = end;
    const std::uint64_t generation = generation_;
    const bool surface = surface_;
    // The band's rows in order, a batch at a time once the batch's slots
    // are free. The batch holding the lowest row not yet written always has
    // them (a batch is shorter than the window), so the driving thread never
    // waits on a worker that waits for it.
    for (std::int64_t batch = first; batch < end; batch += batch_) {
      const std::int64_t batch_end = std::min(end, batch + batch_);
      WaitForWork(lock, [&] {
        return stopping_ || generation != generation_ || HasSlot(batch_end - 1);
      });
      if (stopping_) return;
      if (generation != generation_) break;  // the claims were sent back
      lock.unlock();

      for (std::int64_t row = batch; row < batch_end; ++row) {
        std::string& text = texts[static_cast<std::size_t>(row - batch)];
        text.clear();
        sweeper.FormatRow(row, surface, sink_, text);
      }

      lock.lock();
      if (generation != generation_) break;  // computed with a stale Surface state
      for (std::int64_t row = batch; row < batch_end; ++row) {
        Slot& slot = SlotOf(row);
        slot.row = row;
        slot.generation = generation;
        slot.ready = true;
        // The slot's old buffer comes back for reuse.
        std::swap(slot.text, texts[static_cast<std::size_t>(row - batch)]);
      }
      if (driver_waits_) ready_.notify_one();
    }
  }
}

const std::string& RowPipeline::Row(std::int64_t row, bool surface) {
  std::unique_lock lock(mutex_);
  if (surface != surface_) {
    surface_ = surface;
    ++generation_;
    next_claim_ = row;
    for (Slot& slot : slots_) slot.ready = false;
    work_.notify_all();
  }
  Slot& slot = SlotOf(row);
  const auto ready = [&] { return slot.ready && slot.row == row && slot.generation == generation_; };
  if (!ready()) {
    // Workers are woken by every batch of rows written, and here: whatever
    // they wait for may have come since, and this thread now sleeps.
    if (waiting_workers_ > 0) work_.notify_all();
    driver_waits_ = true;
    ready_.wait(lock, ready);
    driver_waits_ = false;
  }
  return slot.text;
}

void RowPipeline::Done(std::int64_t row) {
  std::lock_guard lock(mutex_);
  SlotOf(row).ready = false;
  consumed_ = row + 1;
  if (waiting_workers_ > 0 && consumed_ % batch_ == 0) work_.notify_all();
}

}  // namespace pelmoro

#include "engine/row_pipeline.h"

#include <algorithm>
#include <utility>

#include "engine/row_sweep.h"

namespace pelmoro {

namespace {

// Long bands share few triangles between workers; short ones keep every
// worker busy on small lattices. The rows computed ahead, a band per worker
// and one more, are kept within about 32 MB.
std::int64_t BandFor(const Lattice& lattice, std::span<const RowFormatter* const> formatters,
                     int threads) {
  constexpr std::int64_t kLongest = 32;
  constexpr std::int64_t kRowBytes = std::int64_t{32} << 20;
  std::int64_t bytes_per_point = sizeof(std::int32_t);
  for (const RowFormatter* f : formatters) {
    bytes_per_point += static_cast<std::int64_t>(f->MaxBytesPerPoint());
  }
  const std::int64_t by_rows = lattice.rows / (std::int64_t{threads} * 16);
  const std::int64_t by_memory =
      kRowBytes / ((threads + 1) * std::max<std::int64_t>(1, lattice.columns) * bytes_per_point);
  return std::clamp<std::int64_t>(std::min(by_rows, by_memory), 1, kLongest);
}

}  // namespace

RowPipeline::RowPipeline(const ScanPlan& plan, std::span<const RowFormatter* const> formatters,
                         int threads, bool first_covering)
    : plan_(plan),
      formatters_(formatters),
      rows_(plan.lattice.rows),
      band_(BandFor(plan.lattice, formatters, threads)),
      batch_(std::min<std::int64_t>(band_, 4)),
      slots_(static_cast<std::size_t>((threads + 1) * band_)),
      first_covering_(first_covering) {
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
  // Each worker keeps its own sweep and rows; the rows it claims rise,
  // except after a change of mode sends the claims back.
  RowSweeper sweeper(plan_);
  std::vector<ScanRow> batch_rows(static_cast<std::size_t>(batch_));
  std::unique_lock lock(mutex_);
  for (;;) {
    WaitForWork(lock, [this] { return stopping_ || MayClaim(); });
    if (stopping_) return;
    const std::int64_t first = next_claim_;
    const std::int64_t end = std::min(rows_, first + band_);
    next_claim_ = end;
    const std::uint64_t generation = generation_;
    const bool first_covering = first_covering_;
    for (std::int64_t batch = first; batch < end; batch += batch_) {
      const std::int64_t batch_end = std::min(end, batch + batch_);
      WaitForWork(lock, [&] {
        return stopping_ || generation != generation_ || HasSlot(batch_end - 1);
      });
      if (stopping_) return;
      if (generation != generation_) break;  // the claims were sent back
      lock.unlock();

      for (std::int64_t row = batch; row < batch_end; ++row) {
        ScanRow& r = batch_rows[static_cast<std::size_t>(row - batch)];
        // Buffers that came back from a slot not yet used are empty.
        r.heights.resize(static_cast<std::size_t>(plan_.lattice.columns));
        sweeper.ComputeRow(row, first_covering, r.heights);
        r.row = row;
        FormatScanRow(plan_.lattice, formatters_, r);
      }

      lock.lock();
      if (generation != generation_) break;  // computed in a stale mode
      for (std::int64_t row = batch; row < batch_end; ++row) {
        Slot& slot = SlotOf(row);
        slot.generation = generation;
        slot.ready = true;
        // The slot's old buffers come back for reuse.
        std::swap(slot.data, batch_rows[static_cast<std::size_t>(row - batch)]);
      }
      if (driver_waits_) ready_.notify_one();
    }
  }
}

const ScanRow& RowPipeline::Row(std::int64_t row, bool first_covering) {
  std::unique_lock lock(mutex_);
  if (first_covering != first_covering_) {
    first_covering_ = first_covering;
    ++generation_;
    next_claim_ = row;
    for (Slot& slot : slots_) slot.ready = false;
    work_.notify_all();
  }
  Slot& slot = SlotOf(row);
  const auto ready = [&] {
    return slot.ready && slot.data.row == row && slot.generation == generation_;
  };
  if (!ready()) {
    if (waiting_workers_ > 0) work_.notify_all();
    driver_waits_ = true;
    ready_.wait(lock, ready);
    driver_waits_ = false;
  }
  return slot.data;
}

void RowPipeline::Done(std::int64_t row) {
  std::lock_guard lock(mutex_);
  SlotOf(row).ready = false;
  consumed_ = row + 1;
  if (waiting_workers_ > 0 && consumed_ % batch_ == 0) work_.notify_all();
}

}  // namespace pelmoro

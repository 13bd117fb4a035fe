#include "engine/row_pipeline.h"

#include <utility>

namespace pelmoro {

RowPipeline::RowPipeline(const ScanPlan& plan, const RowSink& sink, int threads, bool surface)
    : plan_(plan),
      sink_(sink),
      rows_(RowCount(plan.store.bounds(), plan.pitch)),
      slots_(static_cast<std::size_t>(threads) * 4),
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

bool RowPipeline::MayClaim() const {
  return next_claim_ < rows_ &&
         next_claim_ < consumed_ + static_cast<std::int64_t>(slots_.size());
}

void RowPipeline::Work() {
  // Each worker keeps its own sweep, heights and text; rows it claims rise,
  // except after a Surface change sends the claims back.
  RowSweeper sweeper(plan_);
  std::string text;
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || MayClaim(); });
    if (stopping_) return;
    const std::int64_t row = next_claim_++;
    const std::uint64_t generation = generation_;
    const bool surface = surface_;
    lock.unlock();

    text.clear();
    sweeper.FormatRow(row, surface, sink_, text);

    lock.lock();
    if (generation != generation_) continue;  // computed with a stale Surface state
    Slot& slot = SlotOf(row);
    slot.row = row;
    slot.generation = generation;
    slot.ready = true;
    std::swap(slot.text, text);  // the slot's old buffer comes back for reuse
    ready_.notify_all();
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
  ready_.wait(lock, [&] { return slot.ready && slot.row == row && slot.generation == generation_; });
  return slot.text;
}

void RowPipeline::Done(std::int64_t row) {
  {
    std::lock_guard lock(mutex_);
    SlotOf(row).ready = false;
    consumed_ = row + 1;
  }
  work_.notify_all();
}

}  // namespace pelmoro

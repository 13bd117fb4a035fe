#include "engine/read/chunk_parsers.h"

#include <algorithm>
#include <chrono>

namespace pelmoro {

namespace {
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
}  // namespace

ChunkParsers::ChunkParsers(int threads, int units_per_file_unit, std::size_t in_flight)
    : units_(units_per_file_unit) {
  done_.reserve(in_flight);  // a worker's push_back never allocates
  workers_.Start(threads, [this] { Work(); });
}

ChunkParsers::~ChunkParsers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_.notify_all();
  workers_.Join();
}

void ChunkParsers::Submit(StlChunk& chunk) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(&chunk);
  }
  work_.notify_one();
}

void ChunkParsers::Await(StlChunk& chunk, const std::function<void()>& while_waiting) {
  std::unique_lock lock(mutex_);
  const auto parsed = [&] { return std::find(done_.begin(), done_.end(), &chunk) != done_.end(); };
  while (!parsed()) {
    // Rather than wait, the driving thread parses the oldest chunk no worker
    // has taken yet: the awaited one, or one after it.
    if (!queue_.empty()) {
      ParseNext(lock);
      continue;
    }
    if (!parsed_.wait_for(lock, kWaitSlice, parsed)) {
      lock.unlock();
      while_waiting();
      lock.lock();
    }
  }
  done_.erase(std::find(done_.begin(), done_.end(), &chunk));
}

// Takes the oldest chunk handed in and parses it outside the lock.
void ChunkParsers::ParseNext(std::unique_lock<std::mutex>& lock) {
  StlChunk& chunk = *queue_.front();
  queue_.pop_front();
  lock.unlock();
  ParseStlChunk(chunk, units_);
  lock.lock();
  done_.push_back(&chunk);
  parsed_.notify_all();
}

void ChunkParsers::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    ParseNext(lock);
  }
}

}  // namespace pelmoro

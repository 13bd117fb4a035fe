#include "engine/read/chunk_parsers.h"

#include <algorithm>
#include <chrono>

namespace pelmoro {

namespace {
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
}  // namespace

ChunkParsers::ChunkParsers(int threads, int units_per_file_unit, std::size_t in_flight,
                           const GridShift& shift)
    : units_(units_per_file_unit), shift_(shift) {
  done_.reserve(in_flight);  // a worker's push_back never allocates
  workers_.Start(threads, [this] { Work(); });
}

ChunkParsers::~ChunkParsers() {
  {
    MutexLock lock(&mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_.SignalAll();
  workers_.Join();
}

void ChunkParsers::Submit(StlChunk& chunk) {
  {
    MutexLock lock(&mutex_);
    queue_.push_back(&chunk);
  }
  work_.Signal();
}

bool ChunkParsers::Parsed(const StlChunk& chunk) const {
  return std::find(done_.begin(), done_.end(), &chunk) != done_.end();
}

// Sleeps on parsed_ until the chunk is parsed or a slice of time has
// passed; whether it was parsed.
bool ChunkParsers::SleepUntilParsed(const StlChunk& chunk) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitSlice;
  while (!Parsed(chunk)) {
    if (!parsed_.WaitUntil(mutex_, deadline)) return Parsed(chunk);
  }
  return true;
}

void ChunkParsers::Await(StlChunk& chunk, const std::function<void()>& while_waiting) {
  MutexLock lock(&mutex_);
  while (!Parsed(chunk)) {
    // Rather than wait, the driving thread parses the oldest chunk no worker
    // has taken yet: the awaited one, or one after it.
    if (!queue_.empty()) {
      ParseNext();
      continue;
    }
    if (!SleepUntilParsed(chunk)) {
      MutexUnlock unlocked(&mutex_);
      while_waiting();
    }
  }
  done_.erase(std::find(done_.begin(), done_.end(), &chunk));
}

// Takes the oldest chunk handed in and parses it outside the lock.
void ChunkParsers::ParseNext() {
  StlChunk& chunk = *queue_.front();
  queue_.pop_front();
  {
    MutexUnlock unlocked(&mutex_);
    ParseStlChunk(chunk, units_, shift_);
  }
  done_.push_back(&chunk);
  parsed_.SignalAll();
}

void ChunkParsers::Work() {
  MutexLock lock(&mutex_);
  for (;;) {
    while (!stopping_ && queue_.empty()) work_.Wait(mutex_);
    if (stopping_) return;
    ParseNext();
  }
}

}  // namespace pelmoro

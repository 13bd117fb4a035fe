// Worker threads that parse chunks of an ASCII STL file ahead of the thread
// that stores the model, which parses too rather than wait.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "engine/read/grid_shift.h"
#include "engine/read/stl_chunk.h"
#include "engine/worker_threads.h"
#include "foundation/mutex.h"

namespace pelmoro {

// Chunks are handed in (Submit) and taken back (Await) by one driving
// thread; a worker takes the oldest chunk handed in and parses it outside
// the lock, and so does the driving thread rather than wait for one. A chunk belongs to the workers
// from Submit until it is listed as parsed, and to the driving thread otherwise; the queue and the
// list change only under the lock. The destructor drops what is still queued and waits only for the
// chunks being parsed, each a bounded piece of work.
class ChunkParsers {
 public:
  // Starts up to `threads` workers (fewer when the system refuses one),
  // for at most `in_flight` chunks handed in and not yet awaited.
  ChunkParsers(int threads, int units_per_file_unit, std::size_t in_flight,
               const GridShift& shift = {});
  ~ChunkParsers();
  ChunkParsers(const ChunkParsers&) = delete;
  ChunkParsers& operator=(const ChunkParsers&) = delete;

  int workers() const { return workers_.size(); }
  void Submit(StlChunk& chunk) EXCLUDES(mutex_);
  // Returns once the chunk is parsed, parsing chunks no worker has taken
  // meanwhile, and calling while_waiting about every 50 ms while it waits;
  // what that raises passes out.
  void Await(StlChunk& chunk, const std::function<void()>& while_waiting) EXCLUDES(mutex_);

 private:
  void Work() EXCLUDES(mutex_);
  void ParseNext() REQUIRES(mutex_);
  bool Parsed(const StlChunk& chunk) const REQUIRES(mutex_);
  bool SleepUntilParsed(const StlChunk& chunk) REQUIRES(mutex_);

  const int units_;
  const GridShift shift_;
  Mutex mutex_;
  CondVar work_;    // workers wait here for a chunk
  CondVar parsed_;  // the driving thread waits here
  std::deque<StlChunk*> queue_ GUARDED_BY(mutex_);
  std::vector<const StlChunk*> done_ GUARDED_BY(mutex_);  // parsed, not yet awaited
  bool stopping_ GUARDED_BY(mutex_) = false;
  WorkerThreads workers_;
};

}  // namespace pelmoro

// The worker threads of the reader and the scan: started with modest
// stacks, fewer when the system refuses one, joined together.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pelmoro {

// The most threads --threads may ask for.
inline constexpr int kMostThreads = 1024;

// The cores this machine has, at least 1.
int CoreCount();

// What a run's threads are for, which decides whether more of them than
// there are cores may start.
enum class ThreadUse {
  // Reading a model, finishing the outputs: threads beyond the cores would
  // only wait, holding their chunks in memory.
  kUpToCores,
  // The scan: as many as asked, so that any number of workers can run on
  // any machine (the rows are the same); its pipeline's memory budget
  // bounds them further.
  kAsAsked,
};

// The threads, the calling thread among them, that work of this use may
// run on for a --threads value `asked` (1..kMostThreads; 0 or less: not
// given, one per core) on a machine of `cores` cores (at least 1). The
// one rule every user of --threads goes by.
int ThreadsToStart(int asked, int cores, ThreadUse use);

// ThreadsToStart on this machine's cores.
inline int ThreadsToStart(int asked, ThreadUse use) {
  return ThreadsToStart(asked, CoreCount(), use);
}

class WorkerThreads {
 public:
  WorkerThreads() = default;
  ~WorkerThreads();  // joins them: the owner has told them to stop first
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Starts up to `count` threads running work(); fewer when the system
  // refuses one (no memory for its stack, no more threads), and then the
  // run makes do with those it has. Their stacks are small (the workers keep
  // their data on the heap), so that many threads take little address
  // space.
  void Start(int count, const std::function<void()>& work);
  // Waits for every thread to end.
  void Join();
  int size() const { return static_cast<int>(threads_.size()); }

 private:
  std::function<void()> work_;
  std::vector<std::uintptr_t> threads_;  // as Env::StartThread gives them
};

}  // namespace pelmoro

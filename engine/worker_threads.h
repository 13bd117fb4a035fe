// The worker threads of the reader and the scan: started with modest
// stacks, fewer when the system refuses one, joined together.
#pragma once

#include <functional>
#include <vector>

namespace pelmoro {

// The cores this machine has, at least 1.
int CoreCount();

// Threads for work that more threads than cores would not speed up: as
// many as asked (0: one per core), but no more than there are cores.
int ThreadsUpToCores(int asked);

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
  std::vector<unsigned long> threads_;  // pthread_t
};

}  // namespace pelmoro

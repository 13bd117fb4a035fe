#include "engine/worker_threads.h"

#include <algorithm>
#include <new>

#include "os/env.h"

namespace pelmoro {

namespace {

// Room for the deepest a worker goes (a refused number's message, the
// sanitizers' larger frames), far below the 8 MiB a thread gets by default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kWorkerStack = std::size_t{8} << 20;
#else
constexpr std::size_t kWorkerStack = std::size_t{1} << 20;
#endif

void RunWork(void* work) { (*static_cast<const std::function<void()>*>(work))(); }

}  // namespace

int CoreCount() { return CurrentEnv().CoreCount(); }

int ThreadsToStart(int asked, int cores, ThreadUse use) {
  if (asked <= 0) return cores;
  return use == ThreadUse::kUpToCores ? std::min(asked, cores) : asked;
}

WorkerThreads::~WorkerThreads() { Join(); }

void WorkerThreads::Start(int count, const std::function<void()>& work) {
  work_ = work;
  try {
    threads_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  } catch (const std::bad_alloc&) {
    count = 0;
  }
  Env& env = CurrentEnv();
  for (int i = 0; i < count; ++i) {
    std::uintptr_t thread;
    if (!env.StartThread(kWorkerStack, RunWork, &work_, &thread)) break;
    threads_.push_back(thread);  // reserved: cannot throw
  }
}

void WorkerThreads::Join() {
  Env& env = CurrentEnv();
  for (const std::uintptr_t thread : threads_) env.JoinThread(thread);
  threads_.clear();
}

}  // namespace pelmoro

#include "engine/worker_threads.h"

#include <pthread.h>

#include <algorithm>
#include <new>
#include <thread>
#include <type_traits>

namespace pelmoro {

namespace {

static_assert(std::is_same_v<pthread_t, unsigned long>, "threads are kept as pthread_t");

// Room for the deepest a worker goes (a refused number's message, the
// sanitizers' larger frames), far below the 8 MiB a thread gets by default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kWorkerStack = std::size_t{8} << 20;
#else
constexpr std::size_t kWorkerStack = std::size_t{1} << 20;
#endif

void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

}  // namespace

int CoreCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

int ThreadsToStart(int asked, int cores, ThreadUse use) {
  if (asked <= 0) return cores;
  return use == ThreadUse::kUpToCores ? std::min(asked, cores) : asked;
}

WorkerThreads::~WorkerThreads() { Join(); }

void WorkerThreads::Start(int count, const std::function<void()>& work) {
  work_ = work;
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) return;
  ::pthread_attr_setstacksize(&attributes, kWorkerStack);
  try {
    threads_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  } catch (const std::bad_alloc&) {
    count = 0;
  }
  for (int i = 0; i < count; ++i) {
    pthread_t thread;
    if (::pthread_create(&thread, &attributes, RunWork, &work_) != 0) break;
    threads_.push_back(thread);  // reserved: cannot throw
  }
  ::pthread_attr_destroy(&attributes);
}

void WorkerThreads::Join() {
  for (const unsigned long thread : threads_)
    ::pthread_join(static_cast<pthread_t>(thread), nullptr);
  threads_.clear();
}

}  // namespace pelmoro

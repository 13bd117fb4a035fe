#include "foundation/disk_flush.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace pelmoro {

namespace {

int Flush(int fd, DiskFlush kind) {
  const int done = kind == DiskFlush::kData ? ::fdatasync(fd) : ::fsync(fd);
  // A file that cannot be flushed (EINVAL: a pipe or special file) has
  // nothing to lose by it.
  const int error = done == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return error;
}

struct Job {
  int fd;
  DiskFlush kind;
  std::promise<int> done;
};

// Flushes one file per thread at a time: files flushed side by side (a map
// and its pictures) do not wait for one another. The threads wait for work
// until the process ends; the flushes themselves are always waited for by
// whoever started them.
class Flushers {
 public:
  std::future<int> Start(int fd, DiskFlush kind) {
    Job job{fd, kind, {}};
    std::future<int> result = job.done.get_future();
    std::unique_lock<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    if (idle_ < jobs_.size() && threads_ < kMostThreads) {
      try {
        std::thread([this] { Serve(); }).detach();
        ++threads_;
      } catch (const std::system_error&) {
        if (threads_ == 0) {  // no thread to be had (a memory limit): flush here
          Job here = std::move(jobs_.back());
          jobs_.pop_back();
          lock.unlock();
          here.done.set_value(Flush(here.fd, here.kind));
          return result;
        }
        // otherwise a thread there is takes it in its turn
      }
    }
    lock.unlock();
    wake_.notify_one();
    return result;
  }

 private:
  static constexpr std::size_t kMostThreads = 4;

  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      wake_.wait(lock, [this] { return !jobs_.empty(); });
      --idle_;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job.done.set_value(Flush(job.fd, job.kind));
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  std::size_t threads_ = 0, idle_ = 0;
};

// Never destroyed: its threads may still be waiting when the process ends.
// A child process starts with none of them, and so with a fresh set (the
// old one, whose lock another thread may have held, is left alone).
Flushers* flushers = nullptr;

void FreshFlushersInChild() { flushers = new Flushers; }

}  // namespace

std::future<int> StartDiskFlush(int fd, DiskFlush kind) {
  static const bool ready = [] {
    flushers = new Flushers;
    ::pthread_atfork(nullptr, nullptr, FreshFlushersInChild);
    return true;
  }();
  (void)ready;
  return flushers->Start(fd, kind);
}

}  // namespace pelmoro

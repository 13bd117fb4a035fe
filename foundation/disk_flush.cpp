#include "foundation/disk_flush.h"

#include <cerrno>
#include <deque>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "foundation/mutex.h"
#include "os/env.h"

namespace pelmoro {

namespace {

int Flush(FileHandle fd, DiskFlush kind) {
  Env& env = CurrentEnv();
  const int error = env.FlushToDisk(fd, kind == DiskFlush::kAll);
  env.Close(fd);
  return error;
}

struct Job {
  FileHandle fd;
  DiskFlush kind;
  std::promise<int> done;
};

// Flushes one file per thread at a time: files flushed side by side (a map
// and its pictures) do not wait for one another. The threads wait for work
// until the process ends; the flushes themselves are always waited for by
// whoever started them.
class Flushers {
 public:
  std::future<int> Start(int fd, DiskFlush kind) EXCLUDES(mutex_) {
    Job job{fd, kind, {}};
    std::future<int> result = job.done.get_future();
    if (std::optional<Job> here = Queue(std::move(job))) {
      here->done.set_value(Flush(here->fd, here->kind));
      return result;
    }
    wake_.Signal();
    return result;
  }

 private:
  static constexpr std::size_t kMostThreads = 4;

  // Queues the job, starting a thread for it when none is idle; gives it
  // back to be flushed by the caller when no thread is to be had at all (a
  // memory limit).
  std::optional<Job> Queue(Job job) EXCLUDES(mutex_) {
    MutexLock lock(&mutex_);
    jobs_.push_back(std::move(job));
    if (idle_ < jobs_.size() && threads_ < kMostThreads) {
      try {
        std::thread([this] { Serve(); }).detach();
        ++threads_;
      } catch (const std::system_error&) {
        if (threads_ == 0) {
          std::optional<Job> here(std::move(jobs_.back()));
          jobs_.pop_back();
          return here;
        }
        // otherwise a thread there is takes it in its turn
      }
    }
    return std::nullopt;
  }

  void Serve() EXCLUDES(mutex_) {
    MutexLock lock(&mutex_);
    for (;;) {
      ++idle_;
      while (jobs_.empty()) wake_.Wait(mutex_);
      --idle_;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      MutexUnlock unlocked(&mutex_);
      job.done.set_value(Flush(job.fd, job.kind));
    }
  }

  Mutex mutex_;
  CondVar wake_;
  std::deque<Job> jobs_ GUARDED_BY(mutex_);
  std::size_t threads_ GUARDED_BY(mutex_) = 0;
  std::size_t idle_ GUARDED_BY(mutex_) = 0;
};

// Never destroyed: its threads may still be waiting when the process ends.
// A child process starts with none of them, and so with a fresh set (the
// old one, whose lock another thread may have held, is left alone).
Flushers* flushers = nullptr;

void FreshFlushersInChild() { flushers = new Flushers; }

}  // namespace

std::future<int> StartDiskFlush(FileHandle fd, DiskFlush kind) {
  static const bool ready = [] {
    flushers = new Flushers;
    CurrentEnv().CallInForkedChild(FreshFlushersInChild);
    return true;
  }();
  (void)ready;
  return flushers->Start(fd, kind);
}

}  // namespace pelmoro

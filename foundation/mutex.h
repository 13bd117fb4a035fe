// A mutex, its scoped holders and a condition variable that waits on it,
// annotated for Clang's thread-safety analysis (foundation/thread_annotations.h):
// members marked GUARDED_BY(mutex_) are touched only while the compiler can
// see mutex_ held. Thin wrappers over std::mutex and std::condition_variable;
// they cost nothing over them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "foundation/thread_annotations.h"

namespace pelmoro {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class CondVar;
  std::mutex mutex_;
};

// Holds `mutex` from construction to the end of the scope.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() RELEASE() { mutex_->Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex* const mutex_;
};

// Lets go of a held `mutex` from construction to the end of the scope, for
// work done outside the lock; takes it back at the end, also when the work
// raises, so the holder further out releases it as usual.
class SCOPED_CAPABILITY MutexUnlock {
 public:
  explicit MutexUnlock(Mutex* mutex) RELEASE(mutex) : mutex_(mutex) { mutex_->Unlock(); }
  ~MutexUnlock() RELEASE() { mutex_->Lock(); }
  MutexUnlock(const MutexUnlock&) = delete;
  MutexUnlock& operator=(const MutexUnlock&) = delete;

 private:
  Mutex* const mutex_;
};

// Waits on a held Mutex, given at every wait so that the analysis sees it
// held there. A wait may end without a signal: callers wait in a loop on
// their condition.
class CondVar {
 public:
  // Lets go of `mutex` while it sleeps and holds it again when it returns.
  void Wait(Mutex& mutex) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    condition_.wait(lock);
    lock.release();
  }
  // As Wait, for at most until `deadline`; false when it passed.
  bool WaitUntil(Mutex& mutex, std::chrono::steady_clock::time_point deadline) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    const bool signalled = condition_.wait_until(lock, deadline) == std::cv_status::no_timeout;
    lock.release();
    return signalled;
  }
  void Signal() { condition_.notify_one(); }
  void SignalAll() { condition_.notify_all(); }

 private:
  std::condition_variable condition_;
};

}  // namespace pelmoro

// Events a window test makes as a user or the system would, and watches
// arrive: posted clicks, posted events noted by message pass, the event
// loop run to the end, a signal sent while the run waits in an open.
#pragma once

#include <pthread.h>

#include <QObject>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/app/run_harness.h"

namespace pelmoro::testing {

// A user's click that waits in the queue until the window dispatches.
void PostClick(QWidget* button);

// Receives a posted event and notes at which message pass of the run it
// arrived: -1 when it came outside the window's message passes.
class Recorder : public QObject {
 public:
  explicit Recorder(const InstrumentedForm& form) : form_(form) {}
  int arrived_at = 0;

 protected:
  void customEvent(QEvent*) override { arrived_at = form_.dispatching ? form_.passes : -1; }

 private:
  const InstrumentedForm& form_;
};

// Runs the application's event loop, as the program's main does, until the
// last window closes; false when it had not after a minute.
bool ExecUntilLastWindowCloses(const std::function<void()>& start);

// Sends a signal to the thread that made it whenever it finds that thread
// waiting in an open of a FIFO for a writer. It looks at /proc for that
// state, so the signal lands while the open waits, never before it; should
// the open still wait a while later, the signal is sent again. If the
// thread is still held there after a minute's worth of looks, a writer that
// comes and goes at once ends the wait, so a fault fails the test instead of
// hanging it.
class SignalWhileOpenWaits {
 public:
  SignalWhileOpenWaits(int signal_number, const QString& fifo)
      : signal_number_(signal_number),
        fifo_(QFile::encodeName(fifo).toStdString()),
        target_(::pthread_self()),
        task_("/proc/self/task/" + std::to_string(::gettid())),
        watcher_([this] { Watch(); }) {}
  ~SignalWhileOpenWaits() { Finish(); }
  SignalWhileOpenWaits(const SignalWhileOpenWaits&) = delete;
  SignalWhileOpenWaits& operator=(const SignalWhileOpenWaits&) = delete;

  // Stops watching; true when the open waited and the signal ended the wait
  // (no writer had to).
  bool Finish() {
    done_ = true;
    if (watcher_.joinable()) watcher_.join();
    return signals_sent_ > 0 && !released_;
  }

 private:
  static constexpr int kLooksBeforeResending = 200;
  static constexpr int kLooksBeforeReleasing = 60000;

  std::string FirstLine(const char* file) const;

  static bool IsOpen(const std::string& call);

  // The target sleeps interruptibly in one open call: a FIFO's wait for a
  // writer (opening a regular file sleeps, if at all, uninterruptibly).
  bool OpenWaits() const;

  void Watch();

  const int signal_number_;
  const std::string fifo_;
  const pthread_t target_;
  const std::string task_;
  std::atomic<bool> done_{false};
  int signals_sent_ = 0;   // the watcher's until it is joined
  bool released_ = false;  // likewise
  std::thread watcher_;
};

}  // namespace pelmoro::testing

#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "foundation/text_file.h"

namespace pelmoro {

namespace {

int signal_pipe[2] = {-1, -1};
volatile std::sig_atomic_t signal_arrived = 0;

void OnSignal(int signal_number) {
  const int saved_errno = errno;
  signal_arrived = 1;
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const ssize_t ignored = ::write(signal_pipe[1], &byte, 1);
  errno = saved_errno;
}

// After a termination signal every blocked call is given up, a write as
// well: the run is abandoned and its output with it. Reads only the flag.
bool GiveUpAfterTermination(InterruptedCall) { return signal_arrived != 0; }

void DrainSignalPipe() {
  unsigned char bytes[64];
  for (;;) {
    const ssize_t got = ::read(signal_pipe[0], bytes, sizeof bytes);
    if (got > 0 || (got < 0 && errno == EINTR)) continue;
    return;  // empty (EAGAIN) or closed
  }
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (signal_pipe[0] < 0 && ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // Bytes from an earlier object's time are not news for this one.
  DrainSignalPipe();
  signal_arrived = 0;
  notifier_ = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    DrainSignalPipe();
    emit arrived();
  });
  SetInterruptionCheck(GiveUpAfterTermination);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    struct sigaction& earlier = earlier_[i];
    if (::sigaction(kSignals[i], nullptr, &earlier) != 0 || earlier.sa_handler == SIG_IGN) {
      continue;  // started under nohup or in the background: keep it so
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigemptyset(&action.sa_mask);
    // No SA_RESTART: an open or read blocked on a pipe or terminal returns
    // EINTR, and the text layer asks GiveUpAfterTermination whether to wait
    // on. Qt's event loop retries its own interrupted waits.
    action.sa_flags = 0;
    installed_[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

bool TerminationSignals::Arrived() { return signal_arrived != 0; }

TerminationSignals::~TerminationSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (installed_[i]) ::sigaction(kSignals[i], &earlier_[i], nullptr);
  }
  SetInterruptionCheck(nullptr);
}

}  // namespace pelmoro

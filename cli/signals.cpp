#include "cli/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "foundation/text_file.h"
#include "outputs/files/temporary_files.h"

namespace pelmoro::cli {

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_termination = 0;

void OnInterrupt(int) { g_stop = 1; }
void OnTermination(int signal_number) { g_termination = signal_number; }

void Install(int signal_number, void (*handler)(int)) {
  struct sigaction current {};
  if (::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
    return;  // started in the background or under nohup: keep it so
  }
  struct sigaction action {};
  action.sa_handler = handler;
  ::sigemptyset(&action.sa_mask);
  // No SA_RESTART: a call blocked on a pipe or terminal returns EINTR, and
  // the text layer asks GiveUp whether to wait on.
  action.sa_flags = 0;
  ::sigaction(signal_number, &action, nullptr);
}

// A stop ends the reading where it stands; a write waits on, so the row in
// progress is completed. A termination gives up everything.
bool GiveUp(InterruptedCall call) {
  if (g_termination != 0) return true;
  return g_stop != 0 && call != InterruptedCall::kWrite;
}

}  // namespace

void ProtectMessageOutput() {
  std::signal(SIGPIPE, SIG_IGN);
  if (::fcntl(STDERR_FILENO, F_GETFD) >= 0) return;
  const int null = ::open("/dev/null", O_WRONLY);
  if (null < 0) return;
  if (null != STDERR_FILENO) {
    ::dup2(null, STDERR_FILENO);
    ::close(null);
  }
}

void InstallSignalHandlers() {
  InstallTemporaryCleanup();
  Install(SIGINT, OnInterrupt);
  Install(SIGTERM, OnTermination);
  Install(SIGHUP, OnTermination);
  Install(SIGQUIT, OnTermination);
  std::signal(SIGXFSZ, SIG_IGN);
  SetInterruptionCheck(GiveUp);
}

bool StopSignalled() { return g_stop != 0; }

int TerminationSignal() { return g_termination; }

void EndBySignal(int signal_number) {
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
  ::_exit(128 + signal_number);
}

}  // namespace pelmoro::cli

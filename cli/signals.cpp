#include "cli/signals.h"

#include <unistd.h>

#include <csignal>

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
  // Only flags are set; interrupted reads and writes carry on.
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

void InstallSignalHandlers() {
  Install(SIGINT, OnInterrupt);
  Install(SIGTERM, OnTermination);
  Install(SIGHUP, OnTermination);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool StopSignalled() { return g_stop != 0; }

int TerminationSignal() { return g_termination; }

void EndBySignal(int signal_number) {
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
  ::_exit(128 + signal_number);
}

}  // namespace pelmoro::cli

#include "cli/signals.h"

#include <csignal>
#include <cstdlib>

#include "foundation/text_file.h"
#include "os/env.h"

namespace pelmoro::cli {

namespace {

volatile std::sig_atomic_t g_stop = 0;  // the first stop's signal number
volatile std::sig_atomic_t g_termination = 0;

void OnStopEvent(StopEvent event) {
  if (g_stop == 0) g_stop = static_cast<int>(event);
  if (event != StopEvent::kInterrupt) g_termination = static_cast<int>(event);
}

// A stop ends the reading where it stands; a write waits on, so the row in
// progress is completed. A termination gives up everything.
bool GiveUp(InterruptedCall call) {
  if (g_termination != 0) return true;
  return g_stop != 0 && call != InterruptedCall::kWrite;
}

}  // namespace

void ProtectMessageOutput() { CurrentEnv().PrepareStandardStreams(); }

void InstallSignalHandlers() {
  CurrentEnv().RemoveTemporariesOnAbruptEnd();
  CurrentEnv().WatchStopEvents(OnStopEvent);
  SetInterruptionCheck(GiveUp);
}

int StopSignal() { return g_stop; }

int TerminationSignal() { return g_termination; }

void EndBySignal(int signal_number) {
  CurrentEnv().EndByStopEvent(static_cast<StopEvent>(signal_number));
  std::_Exit(128 + signal_number);
}

}  // namespace pelmoro::cli

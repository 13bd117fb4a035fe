// The signals stl2hzm answers: SIGINT asks the run to stop after the row in
// progress, SIGTERM and SIGHUP abandon it.
#pragma once

namespace pelmoro::cli {

// Installs the handlers (leaving a signal alone that the caller of the
// program set to be ignored) and ignores SIGXFSZ, so that a file-size limit
// shows as a failed write instead of ending the program.
void InstallSignalHandlers();

// True once SIGINT arrived.
bool StopSignalled();

// The number of the SIGTERM or SIGHUP that arrived, else 0.
int TerminationSignal();

// Ends the program by the signal's default action, so the caller sees it
// ended by that signal.
[[noreturn]] void EndBySignal(int signal_number);

}  // namespace pelmoro::cli

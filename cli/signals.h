// The signals stl2hzm answers: SIGINT, SIGTERM, SIGHUP and SIGQUIT each ask
// the run to stop; the program then ends as that signal ends it. None of
// them restarts an interrupted call: a read of a pipe, a terminal or a FIFO
// without a writer gives up at once, and after all but SIGINT a write
// waiting on a pipe or a device does too.
#pragma once

namespace pelmoro::cli {

// Makes messages harmless to the batch: SIGPIPE is ignored, so a broken
// stderr only fails the message write, and a closed stderr is given
// /dev/null, so that no output file can take its number and receive the
// messages. Call first.
void ProtectMessageOutput();

// Installs the handlers (leaving a signal alone that the caller of the
// program set to be ignored), the removal of named temporary files on the
// other signals that end the program, and the text layer's check that gives
// up interrupted opens and reads after a stop or a termination, and
// interrupted writes after a termination. Ignores SIGXFSZ, so that a
// file-size limit shows as a failed write instead of ending the program.
void InstallSignalHandlers();

// The number of the first of those signals that arrived, else 0.
int StopSignal();

// The number of the SIGTERM, SIGHUP or SIGQUIT that arrived, else 0.
int TerminationSignal();

// Ends the program by the signal's default action, so the caller sees it
// ended by that signal.
[[noreturn]] void EndBySignal(int signal_number);

}  // namespace pelmoro::cli

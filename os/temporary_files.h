// Named temporary files that a dying process removes on its way out (POSIX
// systems; on Windows a replacement is marked for deletion instead).
//
// Where the filesystem refuses unnamed files (O_TMPFILE), an output is
// written to a named temporary file; its name is registered here so that
// the process removes it when it ends through exit() (a lost display ends a
// window that way) or through a signal whose default action ends it.
// SIGKILL cannot be caught: there only unnamed files leave nothing behind.
#pragma once

#include <string>

namespace pelmoro {

// Registers a temporary file to be removed if the process ends abruptly.
// Returns the slot to pass to UnregisterTemporary, or -1 when every slot is
// taken or the name is too long (the file is then only removed by its
// owner). Not for use in a signal handler.
int RegisterTemporary(const std::string& path);
// Forgets the slot (the owner has removed or renamed the file). A slot a
// dying process is removing stays as it is. -1 does nothing.
void UnregisterTemporary(int slot) noexcept;

// Removes every registered file; async-signal-safe. Each file is removed at
// most once, so that a name reused after the removal is never touched.
void RemoveRegisteredTemporaries() noexcept;

// Makes abrupt ends remove the registered files: at exit(), and for every
// signal whose default action ends the process (SIGQUIT, SIGABRT, SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGALRM, SIGUSR1, ...), after which the signal's
// earlier action takes over. Signals set to be ignored stay ignored, and
// signals the front end answers itself (SIGINT, SIGTERM, SIGHUP, SIGPIPE)
// are left alone. Call once, before other threads start.
void InstallTemporaryCleanup();

// Whether outputs may be unnamed files. True unless the environment sets
// PELMORO_NAMED_TEMPORARIES (to try the named fallback on a filesystem that
// has unnamed files) or SetUnnamedTemporariesAllowed(false) was called.
bool UnnamedTemporariesAllowed();
void SetUnnamedTemporariesAllowed(bool allowed);

}  // namespace pelmoro

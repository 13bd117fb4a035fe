#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "os/temporary_files.h"

namespace pelmoro {

namespace {

// A slot is claimed (kWriting) before its name is written and only read
// once live; the cleanup moves a live slot to kRemoving, which nobody else
// writes, so it never reads a name being replaced.
enum SlotState : int { kFree, kWriting, kLive, kRemoving };

constexpr int kSlots = 32;  // several outputs per run, and their spill files

// The states side by side and the names apart: the cleanup at every exit
// reads the states only, one page, not a page a slot (touching a page costs
// a fault).
constinit std::array<std::atomic<int>, kSlots> states{};
constinit char paths[kSlots][PATH_MAX] = {};

std::atomic<int> unnamed_allowed{-1};  // -1: not yet read from the environment

// Signals whose default action ends the process, other than those the front
// ends answer themselves.
constexpr int kEndingSignals[] = {SIGQUIT, SIGABRT,   SIGSEGV, SIGBUS,    SIGFPE,  SIGILL,
                                  SIGSYS,  SIGTRAP,   SIGXCPU, SIGALRM,   SIGUSR1, SIGUSR2,
                                  SIGPROF, SIGVTALRM, SIGPOLL, SIGSTKFLT, SIGPWR};
constexpr int kMaxSignal = 65;
struct sigaction earlier_actions[kMaxSignal];

// Removes the files, then hands the signal to the action it had before. A
// fault of an instruction simply recurs when the handler returns, now
// reaching that action; a signal that was sent (si_code <= 0: kill, raise,
// sigqueue) is raised again.
void OnEndingSignal(int signal_number, siginfo_t* info, void*) {
  const int saved_errno = errno;
  RemoveRegisteredTemporaries();
  ::sigaction(signal_number, &earlier_actions[signal_number], nullptr);
  if (info == nullptr || info->si_code <= 0 || signal_number == SIGABRT) ::raise(signal_number);
  errno = saved_errno;
}

void RemoveAtExit() { RemoveRegisteredTemporaries(); }

}  // namespace

int RegisterTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!states[i].compare_exchange_strong(expected, kWriting)) continue;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    states[i].store(kLive, std::memory_order_release);
    return i;
  }
  return -1;
}

void UnregisterTemporary(int slot) noexcept {
  if (slot < 0 || slot >= kSlots) return;
  int expected = kLive;
  states[slot].compare_exchange_strong(expected, kFree);
}

void RemoveRegisteredTemporaries() noexcept {
  for (int i = 0; i < kSlots; ++i) {
    int expected = kLive;
    if (states[i].compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
      ::unlink(paths[i]);
    }
  }
}

void InstallTemporaryCleanup() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RemoveAtExit);
  for (const int signal_number : kEndingSignals) {
    struct sigaction& earlier = earlier_actions[signal_number];
    if (::sigaction(signal_number, nullptr, &earlier) != 0 || earlier.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_sigaction = OnEndingSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    ::sigaction(signal_number, &action, nullptr);
  }
}

bool UnnamedTemporariesAllowed() {
  int allowed = unnamed_allowed.load();
  if (allowed < 0) {
    allowed = std::getenv("PELMORO_NAMED_TEMPORARIES") == nullptr ? 1 : 0;
    unnamed_allowed.store(allowed);
  }
  return allowed == 1;
}

void SetUnnamedTemporariesAllowed(bool allowed) { unnamed_allowed.store(allowed ? 1 : 0); }

}  // namespace pelmoro

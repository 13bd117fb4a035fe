// Runs the stl2hzm binary as a child process for the command-line tests.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace pelmoro::testing {

// What the child's stderr is: a pipe the test reads, closed, or a pipe
// whose reading end is already gone.
enum class StandardError { kCaptured, kClosed, kBroken };

struct Launch {
  Launch(std::vector<std::string> arguments, std::string folder = {},
         std::vector<std::string> environment = {})
      : args(std::move(arguments)), cwd(std::move(folder)), env(std::move(environment)) {}

  std::vector<std::string> args;  // after the program name
  std::string cwd;                // empty: the test's own
  // "NAME=value" entries on top of the test's environment, whose locale
  // variables are replaced by LC_ALL=C.UTF-8 first.
  std::vector<std::string> env;
  rlim_t file_size_limit = RLIM_INFINITY;  // RLIMIT_FSIZE, in bytes
  StandardError standard_error = StandardError::kCaptured;
  std::string stdin_file;  // empty: the test's own standard input
};

struct Outcome {
  int exit_code = -1;  // when it exited
  int signal = 0;      // when a signal ended it
  std::string out;     // stdout
  std::string err;     // stderr
};

class Child {
 public:
  explicit Child(const Launch& launch);
  ~Child();  // kills a child that still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal_number) const;
  // Collects the output until the child ends. A child that runs for more
  // than a minute is killed and the test fails: it would hang otherwise.
  Outcome Wait();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
};

// Launches, waits, and returns what happened.
Outcome RunStl2hzm(const Launch& launch);

// Waits until the process holds a regular file in folder open for writing
// that has bytes in it (an unnamed file too): its output is under way. An
// earlier target the run will replace (which it opens for writing for a
// moment, to check it may) does not count. False when nothing came within
// half a minute.
bool WaitForOutputBytes(pid_t pid, const std::string& folder,
                        const std::string& earlier_target = "");

// Waits until the process's main thread is blocked in the system call
// (SYS_read, SYS_openat, ...). False when it did not within half a minute.
bool WaitForBlockedCall(pid_t pid, long syscall_number);

// Waits until the process (all its threads) has had `seconds` of processor
// time, however loaded the machine. False when it ended first or did not
// within half a minute.
bool WaitForProcessorTime(pid_t pid, double seconds);

// Runs a shell command line (sh -c) with STL2HZM standing for the program;
// its exit status as std::system gives it.
int RunShell(const std::string& command_line);

}  // namespace pelmoro::testing

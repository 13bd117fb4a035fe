// A process that ends in the middle of writing an output leaves the earlier
// target as it was and no temporary file: the unnamed file goes with the
// process (even on SIGKILL), the named one is removed on every end that can
// be caught.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "os/temporary_files.h"
#include "outputs/files/output_file.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::ListFolder;
using testing::ReadFileBytes;
using testing::TempDir;

constexpr char kOld[] = "the user's earlier file\n";

struct AbruptEndCase {
  const char* label;
  bool unnamed;
  void (*end)();
  int signal;     // the signal the process ends by, or 0
  int exit_code;  // when it exits
};

void PrintTo(const AbruptEndCase& c, std::ostream* os) { *os << c.label; }

void SendOwn(int signal_number) { ::kill(::getpid(), signal_number); }

class AbruptEndTest : public ::testing::TestWithParam<AbruptEndCase> {};

TEST_P(AbruptEndTest, LeavesTheEarlierTargetAndNoTemporary) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitizer takes SIGSEGV for itself and ends the process its own way.
  if (GetParam().signal == SIGSEGV) GTEST_SKIP() << "the sanitizer handles SIGSEGV";
#endif
  TempDir dir;
  const std::string target = dir.Write("map.hzm", kOld);
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    SetUnnamedTemporariesAllowed(GetParam().unnamed);
    InstallTemporaryCleanup();
    OutputFile out;
    out.Create(target);
    for (int i = 0; i < 2000; ++i) WriteTextLine(out.text(), "0,0,0");
    // Tells the test what the run holds: "U" for an unnamed file, else the
    // temporary's name.
    const std::string held = out.unnamed() ? "U" : out.temporary();
    if (::write(report[1], held.data(), held.size()) < 0) ::_exit(125);
    ::close(report[1]);
    GetParam().end();
    ::_exit(126);  // the end did not end the process
  }
  ::close(report[1]);
  std::string held;
  char buffer[512];
  for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) held.append(buffer, n);
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (GetParam().signal != 0) {
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), GetParam().signal);
  } else {
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exit_code);
  }
  // The child did hold the kind of temporary the case is about.
  if (GetParam().unnamed) {
    EXPECT_EQ(held, "U");
  } else {
    EXPECT_EQ(held.rfind(dir.File(".map.hzm."), 0), 0u) << held;
  }
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"map.hzm"});
  EXPECT_EQ(ReadFileBytes(target), kOld);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, AbruptEndTest,
    ::testing::Values(AbruptEndCase{"UnnamedKilled", true, [] { SendOwn(SIGKILL); }, SIGKILL, 0},
                      AbruptEndCase{"UnnamedAborted", true, [] { std::abort(); }, SIGABRT, 0},
                      AbruptEndCase{"NamedAborted", false, [] { std::abort(); }, SIGABRT, 0},
                      AbruptEndCase{"NamedQuit", false, [] { SendOwn(SIGQUIT); }, SIGQUIT, 0},
                      AbruptEndCase{"NamedUser1", false, [] { SendOwn(SIGUSR1); }, SIGUSR1, 0},
                      AbruptEndCase{"NamedAlarm", false, [] { SendOwn(SIGALRM); }, SIGALRM, 0},
                      AbruptEndCase{"NamedSegvSent", false, [] { SendOwn(SIGSEGV); }, SIGSEGV, 0},
                      // A lost display ends a Qt program through exit().
                      AbruptEndCase{"NamedExit", false, [] { std::exit(3); }, 0, 3}),
    [](const auto& info) { return std::string(info.param.label); });

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A real fault: the handler returns, the instruction faults again and the
// default action ends the process. (A sanitizer reports faults itself.)
TEST(AbruptEndFaultTest, NamedTemporaryGoesOnAFault) {
  TempDir dir;
  const std::string target = dir.Write("map.hzm", kOld);
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    SetUnnamedTemporariesAllowed(false);
    InstallTemporaryCleanup();
    OutputFile out;
    out.Create(target);
    if (out.temporary().empty()) ::_exit(125);
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    ::_exit(126);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"map.hzm"});
}
#endif

// A registered name is removed once: a file that takes the name later is
// someone else's.
TEST(TemporaryRegistryTest, RemovesOnlyLiveRegisteredFilesAndEachOnce) {
  TempDir dir;
  const std::string kept = dir.Write("kept", "x");
  const std::string gone = dir.Write("gone", "x");
  const int kept_slot = RegisterTemporary(kept);
  ASSERT_GE(kept_slot, 0);
  UnregisterTemporary(kept_slot);
  ASSERT_GE(RegisterTemporary(gone), 0);
  RemoveRegisteredTemporaries();
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"kept"});
  dir.Write("gone", "someone else's");
  RemoveRegisteredTemporaries();
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"gone", "kept"}));
}

}  // namespace
}  // namespace pelmoro

// stl2hzm with the shell's descriptors as output, a broken or closed stderr,
// and inputs that block: a FIFO without a writer, a pipe that stays silent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

using Names = std::vector<std::string>;

constexpr char kHeader[] = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n";
constexpr char kOldTarget[] = "an earlier height map\r\n";

std::string WorkedHzm() { return ReadFileBytes(TestData("worked_example.hzm")); }

struct ShellCase {
  const char* label;
  const char* earlier;  // what the file holds before the command line
  bool appended;        // it stays there, before the lines
  // A command line run in the folder; "$STL2HZM" is the program, "$MODEL"
  // the worked example, and "f" the file that receives everything.
  const char* command_line;
};

void PrintTo(const ShellCase& c, std::ostream* os) { *os << c.label; }

class CliShellDescriptorTest : public ::testing::TestWithParam<ShellCase> {};

// The map goes through the descriptor the shell opened, at its offset or
// appended, between what the shell wrote before and after it.
TEST_P(CliShellDescriptorTest, MapLandsBetweenTheShellsLines) {
  TempDir dir;
  dir.Write("f", GetParam().earlier);
  const std::string line = "cd '" + dir.path().string() + "' && MODEL='" +
                           TestData("worked_example.stl") + "' && " + GetParam().command_line;
  const int status = RunShell(line);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(
      ReadFileBytes(dir.File("f")),
      std::string(GetParam().appended ? GetParam().earlier : "") + "a\n" + WorkedHzm() + "b\n");
  EXPECT_EQ(ListFolder(dir.path()), Names{"f"});
}

INSTANTIATE_TEST_SUITE_P(
    Redirections, CliShellDescriptorTest,
    ::testing::Values(
        ShellCase{"StdoutTruncated", "gone\n", false,
                  "{ echo a; \"$STL2HZM\" -q --pitch 1 -o /dev/stdout \"$MODEL\"; echo b; } > f"},
        ShellCase{"StdoutAppended", "kept\n", true,
                  "{ echo a; \"$STL2HZM\" -q --pitch 1 -o /dev/stdout \"$MODEL\"; echo b; } >> f"},
        ShellCase{"Stderr", "gone\n", false,
                  "{ echo a >&2; \"$STL2HZM\" -q --pitch 1 -o /dev/stderr \"$MODEL\"; "
                  "echo b >&2; } 2> f"},
        ShellCase{"DevFdThree", "kept\n", true,
                  "{ echo a >&3; \"$STL2HZM\" -q --pitch 1 -o /dev/fd/3 \"$MODEL\"; "
                  "echo b >&3; } 3>> f"},
        ShellCase{"ProcSelfFd", "gone\n", false,
                  "{ echo a; \"$STL2HZM\" -q --pitch 1 -o /proc/self/fd/1 \"$MODEL\"; echo b; } "
                  "> f"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CliStreamsTest, LinkLoopAsOutputIsAnErrorAndStaysALoop) {
  TempDir dir;
  ASSERT_EQ(::symlink("loop.hzm", dir.File("loop.hzm").c_str()), 0);
  const Outcome r = RunStl2hzm({{"-o", dir.File("loop.hzm"), TestData("worked_example.stl")}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "cannot create " + dir.File("loop.hzm") + ": Too many levels of symbolic links\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("loop.hzm")));
  EXPECT_EQ(ListFolder(dir.path()), Names{"loop.hzm"});
}

class CliStderrTest : public ::testing::TestWithParam<StandardError> {};

// Summaries and an error go nowhere; the batch goes on all the same.
TEST_P(CliStderrTest, BatchGoesOnWithoutItsMessages) {
  TempDir dir;
  const std::string model = ReadFileBytes(TestData("worked_example.stl"));
  dir.Write("a.stl", model);
  dir.Write("c.stl", model);
  Launch launch{{"--pitch", "1", "a.stl", "missing.stl", "c.stl"}, dir.path().string()};
  launch.standard_error = GetParam();
  const Outcome r = RunStl2hzm(launch);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(ReadFileBytes(dir.File("a.hzm")), WorkedHzm());
  EXPECT_EQ(ReadFileBytes(dir.File("c.hzm")), WorkedHzm());
  EXPECT_EQ(ListFolder(dir.path()), (Names{"a.hzm", "a.stl", "c.hzm", "c.stl"}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, CliStderrTest,
                         ::testing::Values(StandardError::kClosed, StandardError::kBroken),
                         [](const auto& info) {
                           return info.param == StandardError::kClosed ? "Closed" : "Broken";
                         });

struct BlockedCase {
  const char* label;
  bool writer;  // a writer that sent part of a model and stays silent
  int signal;
};

void PrintTo(const BlockedCase& c, std::ostream* os) { *os << c.label; }

class CliBlockedInputTest : public ::testing::TestWithParam<BlockedCase> {};

// A stop while the input blocks ends the reading there: "Break !", what was
// done, and the earlier map as it was.
TEST_P(CliBlockedInputTest, SignalEndsTheWait) {
  TempDir dir;
  const std::string fifo = dir.File("slow.stl");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  dir.Write("slow.hzm", kOldTarget);
  Child child({{"--pitch", "1", "slow.stl"}, dir.path().string()});
  int feed = -1;
  if (GetParam().writer) {
    feed = ::open(fifo.c_str(), O_WRONLY);  // waits for the reader
    ASSERT_GE(feed, 0);
    const std::string part = ReadFileBytes(TestData("worked_example.stl"));
    ASSERT_EQ(::write(feed, part.data(), part.size()), static_cast<ssize_t>(part.size()));
  }
  ASSERT_TRUE(WaitForBlockedCall(child.pid(), GetParam().writer ? SYS_read : SYS_openat));
  child.Signal(GetParam().signal);
  const Outcome r = child.Wait();
  if (feed >= 0) ::close(feed);
  if (GetParam().signal == SIGINT) {
    EXPECT_EQ(r.exit_code, 130);
  } else {
    EXPECT_EQ(r.signal, GetParam().signal);
  }
  EXPECT_EQ(r.err,
            "Break !\nstopped while reading slow.stl; slow.hzm not written, the earlier one is "
            "kept\n");
  EXPECT_EQ(ReadFileBytes(dir.File("slow.hzm")), kOldTarget);
  EXPECT_EQ(ListFolder(dir.path()), (Names{"slow.hzm", "slow.stl"}));
}

INSTANTIATE_TEST_SUITE_P(Waits, CliBlockedInputTest,
                         ::testing::Values(BlockedCase{"NoWriterCtrlC", false, SIGINT},
                                           BlockedCase{"NoWriterTerm", false, SIGTERM},
                                           BlockedCase{"NoWriterHangup", false, SIGHUP},
                                           BlockedCase{"SilentWriterCtrlC", true, SIGINT},
                                           BlockedCase{"SilentWriterTerm", true, SIGTERM},
                                           BlockedCase{"SilentWriterHangup", true, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing

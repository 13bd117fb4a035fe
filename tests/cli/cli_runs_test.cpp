// stl2hzm over several files, failing files, and interrupted runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr char kOldTarget[] = "an earlier height map\r\n";

std::string WorkedStl() { return ReadFileBytes(TestData("worked_example.stl")); }
std::string WorkedHzm() { return ReadFileBytes(TestData("worked_example.hzm")); }

struct NamingCase {
  const char* label;
  const char* input;   // relative to the working folder
  const char* output;  // the file that appears there
};

// Test names and failure output show the case by its label.
void PrintTo(const NamingCase& c, std::ostream* os) { *os << c.label; }

class CliNamingTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(CliNamingTest, OutputIsNamedAfterTheInput) {
  TempDir dir;
  fs::create_directories(dir.path() / "my.data");
  dir.Write(GetParam().input, WorkedStl());
  const Outcome r = RunStl2hzm({{"-q", "--pitch", "1", GetParam().input}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File(GetParam().output)), WorkedHzm());
}

INSTANTIATE_TEST_SUITE_P(
    Naming, CliNamingTest,
    ::testing::Values(NamingCase{"ExtensionReplaced", "part.stl", "part.hzm"},
                      NamingCase{"UpperCaseExtension", "PART.STL", "PART.hzm"},
                      // The last "." of the whole path counts, as in the window.
                      NamingCase{"DotInFolderOnly", "my.data/part", "my.hzm"},
                      NamingCase{"NoDotAnywhere", "part", "hzm.hzm"},
                      NamingCase{"ShortExtension", "part.st", "part.hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CliRunsTest, SeveralInputsConvertOneAfterAnother) {
  TempDir dir;
  dir.Write("deep.stl", "vertex 0 0 -5\nvertex 1 0 -5\nvertex 0 1 -5\n");
  dir.Write("worked.stl", WorkedStl());
  const Outcome r = RunStl2hzm({{"--pitch", "1", "deep.stl", "worked.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), (Names{"deep.hzm", "deep.stl", "worked.hzm", "worked.stl"}));
  // The second map owes nothing to the first model's bounds (its z min).
  EXPECT_EQ(ReadFileBytes(dir.File("worked.hzm")), WorkedHzm());
  EXPECT_NE(r.err.find("deep.stl: 1 triangles, 2 x 2 points -> deep.hzm"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("worked.stl: 1 triangles, 3 x 3 points -> worked.hzm"), std::string::npos)
      << r.err;
}

TEST(CliRunsTest, OutputFolderReceivesOneMapPerInput) {
  TempDir dir;
  fs::create_directories(dir.path() / "in.1");
  fs::create_directories(dir.path() / "maps");
  const std::string a = dir.Write("in.1/a.stl", WorkedStl());
  const std::string b = dir.Write("b", WorkedStl());
  const Outcome r = RunStl2hzm({{"-q", "--pitch", "1", "-o", dir.File("maps"), a, b}});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ListFolder(dir.path() / "maps"), (Names{"a.hzm", "hzm.hzm"}));
  EXPECT_EQ(ReadFileBytes(dir.File("maps/a.hzm")), WorkedHzm());
}

TEST(CliRunsTest, MissingInputIsReportedAndTheOthersStillConvert) {
  TempDir dir;
  dir.Write("a.stl", WorkedStl());
  dir.Write("c.stl", WorkedStl());
  const Outcome r =
      RunStl2hzm({{"-q", "--pitch", "1", "a.stl", "b.stl", "c.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "cannot open b.stl: no such file\n");
  EXPECT_EQ(ListFolder(dir.path()), (Names{"a.hzm", "a.stl", "c.hzm", "c.stl"}));
}

TEST(CliRunsTest, BadNumberHalfWayKeepsTheEarlierTarget) {
  TempDir dir;
  dir.Write("bad.stl", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nvertex 1 1 x\n");
  dir.Write("bad.hzm", kOldTarget);
  const Outcome r = RunStl2hzm({{"bad.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "bad.stl:4: 'x' is not a number\n");
  EXPECT_EQ(ReadFileBytes(dir.File("bad.hzm")), kOldTarget);
  EXPECT_EQ(ListFolder(dir.path()), (Names{"bad.hzm", "bad.stl"}));
}

TEST(CliRunsTest, OutputThatIsTheInputIsRefused) {
  TempDir dir;
  const std::string input = dir.Write("model.stl", WorkedStl());
  // --format names the format, so the name itself is no refusal.
  const Outcome r = RunStl2hzm({{"--format", "hzm", "-o", input, input}});
  // Refused as bad usage before anything is read, both spellings named.
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(
      r.err.rfind(
          "stl2hzm: the output '" + input + "' and the input '" + input + "' are one file\n", 0),
      0u)
      << r.err;
  EXPECT_EQ(ReadFileBytes(input), WorkedStl());
  EXPECT_EQ(ListFolder(dir.path()), Names{"model.stl"});
}

TEST(CliRunsTest, MissingOutputFolderFailsBeforeReading) {
  TempDir dir;
  const std::string target = dir.File("gone/out.hzm");
  const Outcome r = RunStl2hzm({{"-o", target, TestData("worked_example.stl")}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "cannot create " + target + ": folder does not exist\n");
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

TEST(CliRunsTest, FileSizeLimitLeavesTheEarlierTargetAndNoTemporary) {
  TempDir dir;
  const std::string target = dir.Write("relief.hzm", kOldTarget);
  // 801 x 801 points: the full map would be megabytes.
  const std::string model = dir.Write("relief.stl", "vertex 0 0 1\nvertex 20 0 1\nvertex 0 20 1\n");
  Launch launch{{"--pitch", "0.025", "-o", target, model}};
  launch.file_size_limit = 64 * 1024;
  const Outcome r = RunStl2hzm(launch);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "cannot write " + target + ": File too large\n");
  EXPECT_EQ(ReadFileBytes(target), kOldTarget);
  EXPECT_EQ(ListFolder(dir.path()), (Names{"relief.hzm", "relief.stl"}));
}

// Layers of two triangles each over 50 x 50 mm: at 0.025 mm every grid
// point lies under every triangle, so each row is slow and the whole scan
// takes far longer than any test waits.
std::string StackedLayers(int layers) {
  std::string stl;
  for (int k = 0; k < layers; ++k) {
    const std::string z = std::to_string(1 + k % 97) + "." + std::to_string(k % 10);
    stl += "vertex 0 0 " + z + "\nvertex 50 0 " + z + "\nvertex 0 50 " + z + "\n";
    stl += "vertex 50 0 " + z + "\nvertex 50 50 " + z + "\nvertex 0 50 " + z + "\n";
  }
  return stl;
}

TEST(CliRunsTest, CtrlCWithKeepPartialEndsTheMapWithTheRowInProgress) {
  TempDir dir;
  dir.Write("big.stl", StackedLayers(400));
  Child child({{"--keep-partial", "--pitch", "0.025", "big.stl"}, dir.path().string()});
  ASSERT_TRUE(WaitForOutputBytes(child.pid(), dir.path().string()));
  child.Signal(SIGINT);
  const Outcome r = child.Wait();
  EXPECT_EQ(r.exit_code, 130);
  EXPECT_EQ(r.err.rfind("Break !\nstopped at row ", 0), 0u) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), (Names{"big.hzm", "big.stl"}));
  // Complete rows of 2001 points each, every one closed by "S".
  const std::string map = ReadFileBytes(dir.File("big.hzm"));
  const std::string header = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n";
  ASSERT_EQ(map.rfind(header, 0), 0u);
  const std::string body = map.substr(header.size());
  const auto lines = std::count(body.begin(), body.end(), '\n');
  const auto rows = std::count(body.begin(), body.end(), 'S');
  EXPECT_GE(rows, 1);
  EXPECT_EQ(lines, rows * 2002);
  EXPECT_EQ(body.substr(body.size() - 3), "S\r\n");
}

TEST(CliRunsTest, CtrlCWhileReadingWithKeepPartialGivesExactlyOneRow) {
  TempDir dir;
  const std::string fifo = dir.File("slow.stl");  // the test hands out the model
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Child child({{"--keep-partial", "--pitch", "1", "slow.stl"}, dir.path().string()});
  const int feed = ::open(fifo.c_str(), O_WRONLY);  // waits for the reader
  ASSERT_GE(feed, 0);
  const std::string stl = WorkedStl() + "vertex 5 0 0\nvertex 6 0 0\nvertex 5 1 0\n";
  ASSERT_EQ(::write(feed, stl.data(), stl.size()), static_cast<ssize_t>(stl.size()));
  // Whether the reader still takes those lines or already waits for more,
  // the stop ends the reading; the writer stays open, so only the stop can.
  child.Signal(SIGINT);
  const Outcome r = child.Wait();
  ::close(feed);
  EXPECT_EQ(r.exit_code, 130);
  EXPECT_EQ(r.err,
            "Break !\nstopped while reading slow.stl; slow.hzm holds one row, of the triangles "
            "read before the stop\n");
  const std::string map = ReadFileBytes(dir.File("slow.hzm"));
  const std::string header = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n";
  ASSERT_EQ(map.rfind(header, 0), 0u) << map;
  const std::string body = map.substr(header.size());
  EXPECT_EQ(std::count(body.begin(), body.end(), 'S'), 1) << body;
  EXPECT_EQ(body.substr(body.size() - 3), "S\r\n");
  EXPECT_EQ(ListFolder(dir.path()), (Names{"slow.hzm", "slow.stl"}));
}

struct TerminationCase {
  const char* label;
  int signal;
  bool named_temporary;  // the fallback for filesystems without unnamed files
};

void PrintTo(const TerminationCase& c, std::ostream* os) { *os << c.label; }

class CliTerminationTest : public ::testing::TestWithParam<TerminationCase> {};

TEST_P(CliTerminationTest, AbandonsTheRunAndKeepsTheEarlierTarget) {
  TempDir dir;
  dir.Write("big.stl", StackedLayers(400));
  dir.Write("big.hzm", kOldTarget);
  std::vector<std::string> env;
  if (GetParam().named_temporary) env.push_back("PELMORO_NAMED_TEMPORARIES=1");
  Child child({{"--pitch", "0.025", "big.stl"}, dir.path().string(), env});
  ASSERT_TRUE(WaitForOutputBytes(child.pid(), dir.path().string(), dir.File("big.hzm")));
  // The named temporary is there while the run writes, and only then.
  EXPECT_EQ(ListFolder(dir.path()).size(), GetParam().named_temporary ? 3u : 2u);
  child.Signal(GetParam().signal);
  const Outcome r = child.Wait();
  EXPECT_EQ(r.signal, GetParam().signal);
  EXPECT_EQ(ReadFileBytes(dir.File("big.hzm")), kOldTarget);
  EXPECT_EQ(ListFolder(dir.path()), (Names{"big.hzm", "big.stl"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, CliTerminationTest,
                         ::testing::Values(TerminationCase{"Term", SIGTERM, false},
                                           TerminationCase{"Hangup", SIGHUP, false},
                                           TerminationCase{"TermNamed", SIGTERM, true},
                                           TerminationCase{"QuitNamed", SIGQUIT, true},
                                           TerminationCase{"HangupNamed", SIGHUP, true},
                                           // Not caught: only the unnamed file leaves nothing.
                                           TerminationCase{"Kill", SIGKILL, false}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing

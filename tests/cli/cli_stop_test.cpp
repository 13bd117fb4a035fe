// What a stop leaves on the command line: each signal that stops a run, at
// each moment of it, with an earlier file of the target's name or none,
// with --keep-partial or without: the target's bytes, the folder, the exit
// status and the message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

using Names = std::vector<std::string>;

constexpr char kEarlierMap[] = "an earlier height map\r\n";
constexpr char kHeader[] = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n";

// Layers of two triangles each over 50 x 50 mm: at 0.025 mm (2001 x 2001
// points) every point lies under every triangle, so the scan takes far
// longer than any test waits.
std::string StackedLayers(int layers) {
  std::string stl;
  for (int k = 0; k < layers; ++k) {
    const std::string z = std::to_string(1 + k % 97) + "." + std::to_string(k % 10);
    stl += "vertex 0 0 " + z + "\nvertex 50 0 " + z + "\nvertex 0 50 " + z + "\n";
    stl += "vertex 50 0 " + z + "\nvertex 50 50 " + z + "\nvertex 0 50 " + z + "\n";
  }
  return stl;
}

// The whole rows of a map after its header, each closed by "S"; -1 when
// the text is no map of whole rows of `columns` points (0: of any width).
long WholeRows(const std::string& map, long columns) {
  if (map.rfind(kHeader, 0) != 0) return -1;
  const std::string body = map.substr(sizeof kHeader - 1);
  const long lines = std::count(body.begin(), body.end(), '\n');
  const long rows = std::count(body.begin(), body.end(), 'S');
  if (columns > 0 && lines != rows * (columns + 1)) return -1;
  if (!body.empty() && body.substr(body.size() - 3) != "S\r\n") return -1;
  return rows;
}

enum class Moment { kReading, kScanning };

// What the target holds after the stop.
enum class Left {
  kEarlier,    // the earlier file, byte for byte
  kNothing,    // no file of that name
  kWholeRows,  // the header and the whole rows so far (as many as the message says)
};

struct StopRow {
  const char* label;
  Moment moment;
  bool earlier;       // a file of the target's name is there before the run
  bool keep_partial;  // --keep-partial
  int signal;
  Left left;
  const char* message;  // the line after "Break !", as a regular expression
};

void PrintTo(const StopRow& row, std::ostream* os) { *os << row.label; }

// The run as the row has it, stopped by the row's signal at its moment.
struct StoppedRun {
  Outcome outcome;
  std::string target;  // the map's name in the folder
  long columns = 0;
};

StoppedRun StopAtReading(const StopRow& row, TempDir& dir) {
  const std::string fifo = dir.File("slow.stl");  // the test hands out the model
  EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> args{"--pitch", "1", "slow.stl"};
  if (row.keep_partial) args.insert(args.begin(), "--keep-partial");
  Child child({args, dir.path().string()});
  const int feed = ::open(fifo.c_str(), O_WRONLY);  // waits for the reader
  EXPECT_GE(feed, 0);
  const std::string stl = ReadFileBytes(TestData("worked_example.stl"));
  EXPECT_EQ(::write(feed, stl.data(), stl.size()), static_cast<ssize_t>(stl.size()));
  // The writer stays open, so only the stop ends the reading.
  child.Signal(row.signal);
  // Whether the reader had taken the triangle before the stop decides the
  // row's width.
  StoppedRun run{child.Wait(), "slow.hzm", 0};
  ::close(feed);
  return run;
}

StoppedRun StopWhileScanning(const StopRow& row, TempDir& dir) {
  dir.Write("big.stl", StackedLayers(400));
  std::vector<std::string> args{"--pitch", "0.025", "big.stl"};
  if (row.keep_partial) args.insert(args.begin(), "--keep-partial");
  Child child({args, dir.path().string()});
  EXPECT_TRUE(WaitForOutputBytes(child.pid(), dir.path().string(), dir.File("big.hzm")));
  child.Signal(row.signal);
  return {child.Wait(), "big.hzm", 2001};
}

class CliStopTest : public ::testing::TestWithParam<StopRow> {};

TEST_P(CliStopTest, LeavesWhatTheRowSays) {
  const StopRow& row = GetParam();
  TempDir dir;
  const char* target = row.moment == Moment::kReading ? "slow.hzm" : "big.hzm";
  if (row.earlier) dir.Write(target, kEarlierMap);
  const StoppedRun run =
      row.moment == Moment::kReading ? StopAtReading(row, dir) : StopWhileScanning(row, dir);
  const Outcome& r = run.outcome;
  if (row.signal == SIGINT) {
    EXPECT_EQ(r.exit_code, 130) << r.err;
  } else {
    EXPECT_EQ(r.signal, row.signal) << r.exit_code << " " << r.err;
  }
  std::smatch found;
  const std::regex expected(std::string("Break !\n") + row.message + "\n");
  ASSERT_TRUE(std::regex_match(r.err, found, expected)) << r.err;
  const Names input{row.moment == Moment::kReading ? "slow.stl" : "big.stl"};
  switch (row.left) {
    case Left::kEarlier:
      EXPECT_EQ(ReadFileBytes(dir.File(run.target)), kEarlierMap);
      break;
    case Left::kNothing:
      EXPECT_EQ(ListFolder(dir.path()), input);
      return;
    case Left::kWholeRows: {
      const long rows = WholeRows(ReadFileBytes(dir.File(run.target)), run.columns);
      // A stop while reading gives one row; one while scanning, those
      // before the row it names.
      const long stopped_at = found.size() > 1 && found[1].matched ? std::stol(found[1]) : 2;
      EXPECT_EQ(rows, stopped_at - 1);
      break;
    }
  }
  Names listing = input;
  listing.insert(listing.begin(), run.target);
  std::sort(listing.begin(), listing.end());
  EXPECT_EQ(ListFolder(dir.path()), listing);
}

constexpr char kReadKept[] =
    "stopped while reading slow.stl; slow.hzm not written, the earlier one is kept";
constexpr char kReadNone[] = "stopped while reading slow.stl; slow.hzm not written";
constexpr char kReadRow[] =
    "stopped while reading slow.stl; slow.hzm holds one row, of the triangles read before the "
    "stop";
constexpr char kScanKept[] =
    "stopped at row ([0-9]+) of 2001; big.hzm not written, the earlier one is kept";
constexpr char kScanNone[] = "stopped at row ([0-9]+) of 2001; big.hzm not written";
constexpr char kScanRows[] =
    "stopped at row ([0-9]+) of 2001; big.hzm holds the whole rows before the stop";

std::vector<StopRow> StopRows() {
  struct Named {
    const char* name;
    int signal;
  };
  static std::vector<std::string> labels;  // the rows point into it
  labels.reserve(24);
  std::vector<StopRow> rows;
  for (const Named s : {Named{"CtrlC", SIGINT}, Named{"Term", SIGTERM}, Named{"Hangup", SIGHUP}}) {
    const auto add = [&](const char* what, Moment moment, bool earlier, bool keep, Left left,
                         const char* message) {
      labels.push_back(std::string(s.name) + what);
      rows.push_back({labels.back().c_str(), moment, earlier, keep, s.signal, left, message});
    };
    add("ReadingKeepsTheEarlierFile", Moment::kReading, true, false, Left::kEarlier, kReadKept);
    add("ReadingLeavesNoFile", Moment::kReading, false, false, Left::kNothing, kReadNone);
    add("ReadingKeepPartialReplacesIt", Moment::kReading, true, true, Left::kWholeRows, kReadRow);
    add("ReadingKeepPartialWritesARow", Moment::kReading, false, true, Left::kWholeRows, kReadRow);
    add("ScanningKeepsTheEarlierFile", Moment::kScanning, true, false, Left::kEarlier, kScanKept);
    add("ScanningLeavesNoFile", Moment::kScanning, false, false, Left::kNothing, kScanNone);
    add("ScanningKeepPartialReplacesIt", Moment::kScanning, true, true, Left::kWholeRows,
        kScanRows);
    add("ScanningKeepPartialWritesRows", Moment::kScanning, false, true, Left::kWholeRows,
        kScanRows);
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Stops, CliStopTest, ::testing::ValuesIn(StopRows()),
                         [](const auto& info) { return std::string(info.param.label); });

// Standard output keeps what it took (the header and the whole rows), while
// a further output file is not written and its earlier file stays.
TEST(CliStopStreamTest, StandardOutputHasTheRowsAndTheFileItsEarlierSelf) {
  TempDir dir;
  dir.Write("big.stl", StackedLayers(400));
  dir.Write("also.hzm", kEarlierMap);
  Child child({{"-q", "--pitch", "0.025", "-o", "-", "--also", "also.hzm", "big.stl"},
               dir.path().string()});
  // Standard output, which the test reads only once the child ends, is
  // full: the map is under way.
  ASSERT_TRUE(WaitForBlockedCall(child.pid(), SYS_write));
  child.Signal(SIGINT);
  const Outcome r = child.Wait();
  EXPECT_EQ(r.exit_code, 130) << r.err;
  std::smatch found;
  ASSERT_TRUE(std::regex_match(
      r.err, found,
      std::regex("Break !\nstopped at row ([0-9]+) of 2001; the whole rows before the stop went "
                 "to standard output; also.hzm not written, the earlier one is kept\n")))
      << r.err;
  EXPECT_EQ(WholeRows(r.out, 2001), std::stol(found[1]) - 1);
  EXPECT_EQ(ReadFileBytes(dir.File("also.hzm")), kEarlierMap);
  EXPECT_EQ(ListFolder(dir.path()), (Names{"also.hzm", "big.stl"}));
}

// In a batch the files converted before the stop stay; the one under way
// is not written.
TEST(CliStopBatchTest, FilesConvertedBeforeTheStopStay) {
  TempDir dir;
  dir.Write("a.stl", ReadFileBytes(TestData("worked_example.stl")));
  dir.Write("big.stl", StackedLayers(400));
  dir.Write("c.stl", ReadFileBytes(TestData("worked_example.stl")));
  Child child({{"-q", "--pitch", "0.025", "a.stl", "big.stl", "c.stl"}, dir.path().string()});
  // a.hzm in place (polled for up to half a minute), then big.hzm's
  // replacement under way.
  for (int i = 0; i < 6000 && !std::filesystem::exists(dir.File("a.hzm")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(std::filesystem::exists(dir.File("a.hzm")));
  ASSERT_TRUE(WaitForOutputBytes(child.pid(), dir.path().string(), dir.File("a.hzm")));
  child.Signal(SIGTERM);
  const Outcome r = child.Wait();
  EXPECT_EQ(r.signal, SIGTERM) << r.err;
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Break !\nstopped at row [0-9]+ of 2001; big.hzm not written\n")))
      << r.err;
  EXPECT_EQ(ListFolder(dir.path()), (Names{"a.hzm", "a.stl", "big.stl", "c.stl"}));
  EXPECT_GT(ReadFileBytes(dir.File("a.hzm")).size(), sizeof kHeader);
}

}  // namespace
}  // namespace pelmoro::testing

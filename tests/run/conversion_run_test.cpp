#include "run/conversion_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <limits>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "run/map_outputs.h"
#include "tests/support/fake_driver.h"
#include "tests/support/special_env.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::ReadFileBytes;
using testing::TempDir;

const char kWorkedStl[] =
    "solid worked\n"
    " facet normal 0 0 1\n"
    "  outer loop\n"
    "   vertex 0.1 0.1 1\n"
    "   vertex 2.1 0.1 1\n"
    "   vertex 0.1 2.1 1\n"
    "  endloop\n"
    " endfacet\n"
    "endsolid worked\n";

const char kWorkedHzm[] =
    "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n"
    "0,0,0\r\n40,0,0\r\n80,0,0\r\nS\r\n"
    "0,40,0\r\n40,40,40\r\n80,40,0\r\nS\r\n"
    "0,80,0\r\n40,80,0\r\n80,80,0\r\nS\r\n";

// A small relief of multiples of 1/8 mm, exact in float32 and in decimal,
// with some faces that overlap in plan view.
std::vector<testing::FloatTriangle> EighthsRelief() {
  std::vector<testing::FloatTriangle> model;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) {
      const float x = 0.5f * i - 1.0f, y = 0.5f * j - 0.25f;
      const float z0 = 0.125f * ((i * j) % 5), z1 = 0.125f * ((i + j) % 4) - 0.25f;
      model.push_back({x, y, z0, x + 0.5f, y, z1, x, y + 0.625f, z1});
      model.push_back({x + 0.5f, y, z1, x + 0.5f, y + 0.5f, z0, x - 0.125f, y + 0.375f, z0});
    }
  }
  return model;
}

TEST(RunConversionTest, BinaryAndAsciiGiveTheSameMap) {
  TempDir dir;
  const std::string ascii = dir.Write("a.stl", testing::AsciiStl(EighthsRelief()));
  const std::string binary = dir.Write("b.stl", testing::BinaryStl(EighthsRelief(), "solid b"));
  for (bool surface : {false, true}) {
    for (int threads : {1, 0}) {
      GeometryStore store;
      FakeDriver a, b;
      a.surface = b.surface = surface;
      const ConversionRequest from_ascii{ascii, dir.File("a.hzm"), 1, ScanOptions{threads}};
      const ConversionRequest from_binary{binary, dir.File("b.hzm"), 1, ScanOptions{threads}};
      EXPECT_EQ(RunConversion(store, from_ascii, a).format, StlFormat::kAscii);
      const ConversionResult result = RunConversion(store, from_binary, b);
      EXPECT_EQ(result.format, StlFormat::kBinary);
      EXPECT_EQ(result.triangles, 72);
      const std::string map = ReadFileBytes(dir.File("b.hzm"));
      EXPECT_EQ(map, ReadFileBytes(dir.File("a.hzm"))) << surface << " " << threads;
      EXPECT_NE(map.find(",15\r\n"), std::string::npos);  // a point 0.375 mm high
    }
  }
}

TEST(RunConversionTest, WorkedExample) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const ConversionRequest request{dir.Write("w.stl", kWorkedStl), dir.File("w.hzm"), 40};
  const ConversionResult result = RunConversion(store, request, driver);
  EXPECT_EQ(result.outcome, RunOutcome::kComplete);
  EXPECT_EQ(result.triangles, 1);
  EXPECT_EQ(result.lattice.columns, 3);
  EXPECT_EQ(result.lattice.rows, 3);
  const std::string bytes = ReadFileBytes(request.output);
  EXPECT_EQ(bytes, kWorkedHzm);
  EXPECT_EQ(bytes.size(), 114u);
  EXPECT_EQ(testing::ListFolder(dir.path()), (std::vector<std::string>{"w.hzm", "w.stl"}));
  // Reading (total unknown), scanning its 3 rows, closing; a triangle, then
  // three rows and the scan's closing reset are the steps counted.
  using Phase = std::pair<RunPhase, std::int64_t>;
  EXPECT_EQ(driver.phases,
            (std::vector<Phase>{
                {RunPhase::kReading, 0}, {RunPhase::kScanning, 3}, {RunPhase::kClosing, 0}}));
  EXPECT_EQ(driver.steps, (std::vector<std::int64_t>{1, 1, 2, 3, 3}));
}

TEST(RunConversionTest, SecondRunBoundsComeFromItsOwnModel) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  RunConversion(store,
                {dir.Write("deep.stl", "vertex 0 0 -5\nvertex 1 0 -5\nvertex 0 1 -5\n"),
                 dir.File("deep.hzm"), 40},
                driver);
  EXPECT_EQ(store.bounds().z_min, -199);
  RunConversion(store, {dir.Write("w.stl", kWorkedStl), dir.File("w.hzm"), 40}, driver);
  EXPECT_EQ(ReadFileBytes(dir.File("w.hzm")), kWorkedHzm);
}

// A stop at a given moment of the worked example's run: after a message
// pass (pass 1 follows the triangle, passes 2 to 4 the three rows), or as
// the closing starts, once every row is written and the map is being put
// onto the disk.
// What a stopped run leaves in place of the target.
constexpr char kEarlierMap[] = "an earlier map\r\n";
constexpr char kWholeMap[] = "";  // the complete map
constexpr char kNoFile[] = "-";   // no file at all
constexpr char kEarlier[] = "=";  // the earlier file, as it was

struct StopCase {
  std::string name;
  int pass = 0;  // the pass after which the stop is seen; 0: none
  bool at_closing = false;
  RunOutcome outcome = RunOutcome::kStopped;
  // The map ends just before this text, or one of the marks above.
  std::string left = kWholeMap;
  bool keeps_rows = true;  // the window's way; the command line's without --keep-partial
  bool earlier = false;    // a file of the target's name is there before
  bool stopped_reading = false;
  std::int64_t rows_written = 3;
};

class RunStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(RunStopTest, LeavesTheTargetAsItsModeSays) {
  const StopCase& c = GetParam();
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  driver.on_pass = [&](int pass) { driver.stop = driver.stop || pass == c.pass; };
  driver.on_phase = [&](RunPhase phase) {
    driver.stop = driver.stop || (c.at_closing && phase == RunPhase::kClosing);
  };
  ConversionRequest request{dir.Write("w.stl", kWorkedStl), dir.File("w.hzm"), 40};
  request.stop_keeps_rows = c.keeps_rows;
  if (c.earlier) dir.Write("w.hzm", kEarlierMap);
  const ConversionResult result = RunConversion(store, request, driver);
  EXPECT_TRUE(driver.stop);
  EXPECT_EQ(result.outcome, c.outcome);
  EXPECT_EQ(result.stopped_reading, c.stopped_reading);
  EXPECT_EQ(result.rows_written, c.rows_written);
  const std::string full = kWorkedHzm;
  if (c.left == kNoFile) {
    EXPECT_EQ(testing::ListFolder(dir.path()), (std::vector<std::string>{"w.stl"}));
    return;
  }
  const std::string bytes = ReadFileBytes(request.output);
  if (c.left == kEarlier) {
    EXPECT_EQ(bytes, kEarlierMap);
  } else {
    EXPECT_EQ(bytes, c.left.empty() ? full : full.substr(0, full.find(c.left)));
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), (std::vector<std::string>{"w.hzm", "w.stl"}));
}

INSTANTIATE_TEST_SUITE_P(Stops, RunStopTest,
                         ::testing::Values(
                             // The scan then writes one row over the triangles read so far.
                             StopCase{"DuringReadingWritesOneRow", 1, false, RunOutcome::kStopped,
                                      "0,40,0", true, false, true, 1},
                             StopCase{"DuringReadingOneRowReplacesTheEarlierFile", 1, false,
                                      RunOutcome::kStopped, "0,40,0", true, true, true, 1},
                             StopCase{"DuringTheScanEndsWithThatRow", 3, false,
                                      RunOutcome::kStopped, "0,80,0", true, false, false, 2},
                             StopCase{"DuringTheScanRowsReplaceTheEarlierFile", 3, false,
                                      RunOutcome::kStopped, "0,80,0", true, true, false, 2},
                             // Seen by the scan's last stop check: every row, yet a break.
                             StopCase{"DuringTheLastRowIsABreak", 4},
                             // Too late to stop anything: the complete map is in place.
                             StopCase{"DuringTheFinalFlushIsTooLate", 0, true,
                                      RunOutcome::kComplete},
                             // Without the rows kept, a stop leaves the earlier file, or none.
                             StopCase{"DiscardingDuringReadingKeepsTheEarlierFile", 1, false,
                                      RunOutcome::kStopped, kEarlier, false, true, true, 0},
                             StopCase{"DiscardingDuringReadingLeavesNoFile", 1, false,
                                      RunOutcome::kStopped, kNoFile, false, false, true, 0},
                             StopCase{"DiscardingDuringTheScanKeepsTheEarlierFile", 3, false,
                                      RunOutcome::kStopped, kEarlier, false, true, false, 2},
                             StopCase{"DiscardingDuringTheScanLeavesNoFile", 2, false,
                                      RunOutcome::kStopped, kNoFile, false, false, false, 1},
                             // Every row written: the map is complete, and goes in place.
                             StopCase{"DiscardingAfterTheLastRowCompletes", 4, false,
                                      RunOutcome::kComplete, kWholeMap, false, true},
                             StopCase{"DiscardingDuringTheFinalFlushCompletes", 0, true,
                                      RunOutcome::kComplete, kWholeMap, false, true},
                             StopCase{"DiscardingDuringTheFinalFlushWithoutAnEarlierFile", 0, true,
                                      RunOutcome::kComplete, kWholeMap, false, false}),
                         [](const auto& info) { return info.param.name; });

// Every failing run leaves an earlier target as it was and nothing else.
struct FailureCase {
  std::string name;
  std::string input_text;  // empty: the input does not exist (unless input_exists)
  std::string output;      // relative to the folder
  std::string message;
  bool input_exists = false;  // an empty input_text is an empty file
  // A failure of the system during the run, and the I/O code it gives.
  void (*system_fails)(testing::SpecialEnv&) = nullptr;
  int io_code = 0;
};

class RunFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RunFailureTest, LeavesTheTargetIntact) {
  TempDir dir;
  const FailureCase& c = GetParam();
  const std::string input = c.input_text.empty() && !c.input_exists
                                ? dir.File("missing.stl")
                                : dir.Write("in.stl", c.input_text);
  const std::string output = c.output == "=input" ? input : dir.File(c.output);
  if (c.output == "old.hzm") dir.Write("old.hzm", "earlier work\r\n");
  const auto before = testing::ListFolder(dir.path());
  testing::SpecialEnv env;
  if (c.system_fails != nullptr) c.system_fails(env);
  GeometryStore store;
  FakeDriver driver;
  try {
    EnvOverride in_place(env);
    RunConversion(store, {input, output, 4}, driver);
    FAIL() << "no error";
  } catch (const Exception& e) {
    if (!c.message.empty()) {
      EXPECT_EQ(e.message(), c.message);
    }
    if (c.io_code != 0) {
      const auto* failed = dynamic_cast<const EOutputError*>(&e);
      ASSERT_NE(failed, nullptr) << e.message();
      EXPECT_EQ(failed->file(), output);
      ASSERT_NE(failed->io_error(), nullptr);
      EXPECT_EQ(failed->io_error()->code(), c.io_code);
    }
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), before);
  if (c.output == "old.hzm") {
    EXPECT_EQ(ReadFileBytes(output), "earlier work\r\n");
  }
  if (!c.input_text.empty()) {
    EXPECT_EQ(ReadFileBytes(input), c.input_text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RunFailureTest,
    ::testing::Values(
        FailureCase{"MissingInput", "", "old.hzm", "ファイルが見つかりません"},
        FailureCase{"MissingOutputFolder", kWorkedStl, "no/such/folder/x.hzm",
                    "不正なファイル名です"},
        FailureCase{"OutputIsInput", kWorkedStl, "=input", ""},
        FailureCase{"BadNumberHalfWay", std::string(kWorkedStl) + "vertex 1 2 3\nvertex 1 two 3\n",
                    "old.hzm", "'two' は浮動小数点数ではありません"},
        FailureCase{"EmptyFile", std::string(), "old.hzm", "not an STL file: the file is empty",
                    true},
        FailureCase{"PlainText", "a shopping list\nbread\n", "old.hzm",
                    "not an STL file: plain text without a \"solid\" line or vertex lines"},
        FailureCase{"ObjModel", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "old.hzm",
                    "not an STL file: it looks like an OBJ model (\"v\" and \"f\" lines); "
                    "convert it to STL"},
        FailureCase{"PngImage", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "old.hzm",
                    "not an STL file: it begins like a PNG image"},
        FailureCase{"TruncatedBinary",
                    testing::BinaryStl({{0, 0, 0, 1, 0, 0, 0, 1, 0}}, "solid x", 2), "old.hzm",
                    "truncated binary STL: the header promises 2 triangles, the file holds 1"},
        FailureCase{
            "NanInBinary",
            testing::BinaryStl({{0, 0, 0, 1, 0, 0, 0, 1, 0},
                                {0, 0, 0, 1, std::numeric_limits<float>::quiet_NaN(), 0, 0, 1, 0}}),
            "old.hzm", "triangle 2: vertex 2 y is not a number (nan)"},
        // The system fails while the map is written or put in place.
        FailureCase{"FullDisk", kWorkedStl, "old.hzm", "", false,
                    [](testing::SpecialEnv& env) { env.writable_bytes = 64; }, 112},
        FailureCase{"FileSizeLimit", kWorkedStl, "old.hzm", "", false,
                    [](testing::SpecialEnv& env) {
                      env.writable_bytes = 0;
                      env.write_error = EFBIG;
                    },
                    EFBIG},
        FailureCase{"FlushLosesTheData", kWorkedStl, "old.hzm", "", false,
                    [](testing::SpecialEnv& env) { env.flush_error = EIO; }, 1117},
        FailureCase{"RenameRefused", kWorkedStl, "old.hzm", "", false,
                    [](testing::SpecialEnv& env) { env.publish_error = EACCES; }, 5},
        FailureCase{"NewTargetOnAFullDisk", kWorkedStl, "new.hzm", "", false,
                    [](testing::SpecialEnv& env) { env.writable_bytes = 0; }, 112}),
    [](const auto& info) { return info.param.name; });

TEST(RunConversionTest, OutputIsInputMessageNamesTheFile) {
  TempDir dir;
  const std::string input = dir.Write("in.stl", kWorkedStl);
  GeometryStore store;
  FakeDriver driver;
  try {
    RunConversion(store, {input, input, 4}, driver);
    FAIL() << "no error";
  } catch (const EOutputIsInput& e) {
    EXPECT_NE(e.message().find(input), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(input), kWorkedStl);
}

}  // namespace
}  // namespace pelmoro

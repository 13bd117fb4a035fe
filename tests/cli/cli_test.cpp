// The stl2hzm command, run as a user runs it.
#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

constexpr char kPitchLarger[] = "Error!\nPitch larger than 0.025\n";
constexpr char kPitchRange[] = "Error!\n0.025 < Pitch < 6.375\n";

std::string Worked() { return TestData("worked_example.stl"); }
std::string WorkedHzm() { return ReadFileBytes(TestData("worked_example.hzm")); }

using Names = std::vector<std::string>;

TEST(CliTest, WorkedExampleGivesTheNineteenLines) {
  TempDir dir;
  const std::string out = dir.File("worked.hzm");
  const Outcome r = RunStl2hzm({{"--pitch", "1", "-o", out, Worked()}});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string bytes = ReadFileBytes(out);
  EXPECT_EQ(bytes, WorkedHzm());
  EXPECT_EQ(bytes.size(), 114u);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 19);
  EXPECT_NE(r.err.find("1 triangles, 3 x 3 points"), std::string::npos) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), Names{"worked.hzm"});
}

TEST(CliTest, EveryThreadCountGivesTheSameMap) {
  for (const char* threads : {"1", "2", "3"}) {
    const Outcome r =
        RunStl2hzm({{"-q", "--pitch", "1", "--threads", threads, "-o", "/dev/stdout", Worked()}});
    EXPECT_EQ(r.exit_code, 0) << threads;
    EXPECT_EQ(r.out, WorkedHzm()) << threads;
  }
}

TEST(CliTest, QuietPrintsNothingAndStdoutTakesTheMapDirectly) {
  const Outcome r = RunStl2hzm({{"-q", "--pitch=1", "-o", "/dev/stdout", Worked()}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, WorkedHzm());
}

TEST(CliTest, SurfaceTakesTheFirstCoveringTriangle) {
  TempDir dir;
  // Two copies of the worked triangle: 1 mm high first, 2 mm high second.
  const std::string stl = dir.Write("two.stl",
                                    "vertex 0.1 0.1 1\nvertex 2.1 0.1 1\nvertex 0.1 2.1 1\n"
                                    "vertex 0.1 0.1 2\nvertex 2.1 0.1 2\nvertex 0.1 2.1 2\n");
  RunStl2hzm({{"-q", "--pitch", "1", "-o", dir.File("high.hzm"), stl}});
  RunStl2hzm({{"-q", "--pitch", "1", "--surface", "-o", dir.File("first.hzm"), stl}});
  EXPECT_NE(ReadFileBytes(dir.File("high.hzm")).find("\r\n40,40,80\r\n"), std::string::npos);
  EXPECT_NE(ReadFileBytes(dir.File("first.hzm")).find("\r\n40,40,40\r\n"), std::string::npos);
}

struct InfoCase {
  const char* label;
  const char* arg;
  const char* shows;
};

// Test names and failure output show the case by its label.
void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.label; }

class CliInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(CliInfoTest, PrintsOnStdoutAndSucceeds) {
  const Outcome r = RunStl2hzm({{GetParam().arg}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind(GetParam().shows, 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Info, CliInfoTest,
                         ::testing::Values(InfoCase{"Help", "--help", "Usage: stl2hzm "},
                                           InfoCase{"ShortHelp", "-h", "Usage: stl2hzm "},
                                           InfoCase{"Version", "--version", "stl2hzm 1."}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CliTest, VersionEndsWithTheLicence) {
  const Outcome r = RunStl2hzm({{"--version"}});
  EXPECT_EQ(r.out.substr(r.out.find('\n')), "\nLicense: MIT\n") << r.out;
}

struct UsageCase {
  const char* label;
  std::vector<std::string> args;  // "@" stands for the worked example
};

// Test names and failure output show the case by its label.
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.label; }

class CliUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageTest, RefusedWithExitTwoBeforeAnythingIsWritten) {
  TempDir dir;
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) a = a == "@" ? Worked() : a;
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("stl2hzm --help"), std::string::npos) << r.err;
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Usage, CliUsageTest,
    ::testing::Values(UsageCase{"NoInput", {}}, UsageCase{"OnlyOptions", {"--surface", "-q"}},
                      UsageCase{"UnknownOption", {"--fast", "@"}},
                      UsageCase{"PitchWithoutValue", {"@", "--pitch"}},
                      UsageCase{"OutputWithoutValue", {"@", "-o"}},
                      UsageCase{"ZeroThreads", {"--threads", "0", "@"}},
                      UsageCase{"ThreadsNotANumber", {"--threads=two", "@"}},
                      UsageCase{"FlagWithValue", {"--surface=yes", "@"}},
                      UsageCase{"OneOutputFileForTwoInputs", {"-o", "x.hzm", "@", "@"}},
                      UsageCase{"StandardInputTwice", {"-", "@", "-"}},
                      UsageCase{"UnknownFormat", {"--format", "bmp", "@"}},
                      UsageCase{"FormatInUpperCase", {"--format=PNG", "@"}},
                      UsageCase{"UnknownExtension", {"-o", "x.tif", "@"}},
                      UsageCase{"NoExtension", {"-o", "heights", "@"}},
                      UsageCase{"AlsoUnknownExtension", {"--also", "x.txt", "@"}},
                      UsageCase{"FormatDoesNotNameAlso", {"--format=png", "--also", "x.jpg", "@"}},
                      UsageCase{"PreviewNotPng", {"--preview", "p.jpg", "@"}},
                      UsageCase{"PreviewAsGrid", {"--preview", "p.asc", "@"}},
                      UsageCase{"FillWithValue", {"--fill=yes", "@"}},
                      UsageCase{"NoDataWithValue", {"--nodata=1", "@"}},
                      UsageCase{"BoundsOfThreeNumbers", {"--bounds", "0,0,1", "@"}},
                      UsageCase{"BoundsTheWrongWayRound", {"--bounds=2,0,1,1", "@"}},
                      UsageCase{"BoundsNotNumbers", {"--bounds", "a,b,c,d", "@"}},
                      UsageCase{"WidthPxZero", {"--width-px", "0", "@"}},
                      UsageCase{"HeightPxNotANumber", {"--height-px=tall", "@"}},
                      UsageCase{"PitchAndWidthPx", {"--pitch", "1", "--width-px", "10", "@"}},
                      UsageCase{"UnknownPngLevels", {"--png-levels", "half", "@"}},
                      UsageCase{"PngLevelsWithoutValue", {"@", "--png-levels"}},
                      UsageCase{"BitDepthTwelve", {"--bit-depth=12", "@"}},
                      UsageCase{"AlsoWithoutValue", {"@", "--also"}},
                      UsageCase{"AlsoForTwoInputs", {"--also", "x.png", "@", "@"}},
                      UsageCase{"PreviewForTwoInputs", {"--preview", "x.png", "@", "@"}},
                      UsageCase{"OutputNamedTwice", {"-o", "x.png", "--also", "x.png", "@"}},
                      UsageCase{"PreviewOverTheOutput", {"-o", "x.png", "--preview", "x.png", "@"}},
                      // Two inputs that would write one map: the second would
                      // destroy the first.
                      UsageCase{"TwoExtensionsOneMap", {"x.stl", "x.ast"}},
                      UsageCase{"OneFolderTwoNames", {"-o", ".", "a/x.stl", "b/x.stl"}},
                      UsageCase{"SameInputTwice", {"a/x.stl", "a/./x.stl"}}),
    [](const auto& info) { return std::string(info.param.label); });

struct PitchCase {
  const char* label;
  const char* pitch;
  const char* message;
};

// Test names and failure output show the case by its label.
void PrintTo(const PitchCase& c, std::ostream* os) { *os << c.label; }

class CliPitchTest : public ::testing::TestWithParam<PitchCase> {};

TEST_P(CliPitchTest, RefusedPitchPrintsItsMessage) {
  TempDir dir;
  const Outcome r = RunStl2hzm({{"--pitch", GetParam().pitch, Worked()}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, GetParam().message);
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Pitch, CliPitchTest,
                         ::testing::Values(PitchCase{"BelowOneUnit", "0.02", kPitchLarger},
                                           PitchCase{"Zero", "0", kPitchLarger},
                                           PitchCase{"TooLarge", "6.4", kPitchRange},
                                           PitchCase{"Negative", "-1", kPitchRange},
                                           PitchCase{"Letters", "fine", kPitchRange},
                                           PitchCase{"Empty", "", kPitchRange},
                                           PitchCase{"CommaInPointLocale", "1,0", kPitchRange},
                                           PitchCase{"PointAndComma", "1.0,5", kPitchRange}),
                         [](const auto& info) { return std::string(info.param.label); });

// Outputs are compared as files: a link to another input's map is that map.
TEST(CliTest, SharedOutputIsRefusedNamingBothInputs) {
  TempDir dir;
  dir.Write("p.stl", ReadFileBytes(Worked()));
  dir.Write("q.stl", ReadFileBytes(Worked()));
  dir.Write("q.hzm", "earlier");
  ASSERT_EQ(::symlink("q.hzm", dir.File("p.hzm").c_str()), 0);
  const Outcome r = RunStl2hzm({{"p.stl", "q.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.rfind("stl2hzm: p.stl and q.stl would both write q.hzm\n", 0), 0u) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File("q.hzm")), "earlier");
  EXPECT_EQ(ListFolder(dir.path()), (Names{"p.hzm", "p.stl", "q.hzm", "q.stl"}));
}

TEST(CliTest, PitchFollowsTheLocalesDecimalSeparator) {
  locale_t german = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", nullptr);
  if (german == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  ::freelocale(german);
  TempDir dir;
  const Launch comma{
      {"-q", "--pitch", "1,0", "-o", dir.File("w.hzm"), Worked()}, "", {"LC_ALL=de_DE.UTF-8"}};
  EXPECT_EQ(RunStl2hzm(comma).exit_code, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("w.hzm")), WorkedHzm());
  // A decimal point is always one on the command line.
  const Launch point{
      {"-q", "--pitch", "1.0", "-o", dir.File("p.hzm"), Worked()}, "", {"LC_ALL=de_DE.UTF-8"}};
  EXPECT_EQ(RunStl2hzm(point).exit_code, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("p.hzm")), WorkedHzm());
}

}  // namespace
}  // namespace pelmoro::testing

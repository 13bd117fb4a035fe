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
  const char* message;            // the first line of stderr, after "stl2hzm: "
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
  EXPECT_EQ(r.err, std::string("stl2hzm: ") + GetParam().message +
                       "\nTry 'stl2hzm --help' for more information.\n");
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Usage, CliUsageTest,
    ::testing::Values(
        UsageCase{"NoInput", {}, "no input file given"},
        UsageCase{"OnlyOptions", {"--surface", "-q"}, "no input file given"},
        UsageCase{"UnknownOption", {"--fast", "@"}, "unrecognized option '--fast'"},
        UsageCase{"UnknownOptionWithValue", {"--fast=1", "@"}, "unrecognized option '--fast'"},
        UsageCase{"UnknownShortOption", {"-x", "@"}, "invalid option -- 'x'"},
        UsageCase{"UnknownShortOptionBundled", {"-qx", "@"}, "invalid option -- 'x'"},
        UsageCase{"SingleDashLongName", {"-pitch", "1", "@"}, "invalid option -- 'p'"},
        UsageCase{"AmbiguousAbbreviation",
                  {"--p", "1", "@"},
                  "option '--p' is ambiguous; possibilities: '--pitch' '--preview' '--png-levels'"},
        UsageCase{"PitchWithoutValue", {"@", "--pitch"}, "option '--pitch' requires an argument"},
        UsageCase{
            "AbbreviationWithoutValue", {"@", "--pit"}, "option '--pitch' requires an argument"},
        UsageCase{"OutputWithoutValue", {"@", "-o"}, "option requires an argument -- 'o'"},
        UsageCase{"BundledOutputWithoutValue", {"@", "-qo"}, "option requires an argument -- 'o'"},
        UsageCase{"ZeroThreads",
                  {"--threads", "0", "@"},
                  "--threads: '0' is not a whole number from 1 to 1024"},
        UsageCase{"ThreadsNotANumber",
                  {"--threads=two", "@"},
                  "--threads: 'two' is not a whole number from 1 to 1024"},
        UsageCase{"FlagWithValue",
                  {"--surface=yes", "@"},
                  "option '--surface' doesn't allow an argument"},
        UsageCase{"AbbreviatedFlagWithValue",
                  {"--sur=yes", "@"},
                  "option '--surface' doesn't allow an argument"},
        UsageCase{
            "UnknownUnit", {"--units", "yd", "@"}, "--units: 'yd' is not one of mm, cm, m, in, ft"},
        UsageCase{"OneOutputFileForTwoInputs",
                  {"-o", "x.hzm", "@", "@"},
                  "-o names a single output; with several inputs it must be an existing folder"},
        UsageCase{
            "StandardInputTwice", {"-", "@", "-"}, "standard input (-) can be read only once"},
        UsageCase{"UnknownFormat",
                  {"--format", "bmp", "@"},
                  "--format: 'bmp' is not one of hzm, png, asc, tif"},
        UsageCase{"FormatInUpperCase",
                  {"--format=PNG", "@"},
                  "--format: 'PNG' is not one of hzm, png, asc, tif"},
        UsageCase{"UnknownExtension",
                  {"-o", "x.jpg", "@"},
                  "'x.jpg' ends in no extension of a known format: name it .hzm, .png, .asc or "
                  ".tif, or say which with --format hzm|png|asc|tif"},
        UsageCase{"NoExtension",
                  {"-o", "heights", "@"},
                  "'heights' ends in no extension of a known format: name it .hzm, .png, .asc or "
                  ".tif, or say which with --format hzm|png|asc|tif"},
        UsageCase{
            "AlsoUnknownExtension",
            {"--also", "x.txt", "@"},
            "--also 'x.txt' ends in no extension of a known format: name it .hzm, .png, .asc or "
            ".tif"},
        UsageCase{
            "FormatDoesNotNameAlso",
            {"--format=png", "--also", "x.jpg", "@"},
            "--also 'x.jpg' ends in no extension of a known format: name it .hzm, .png, .asc or "
            ".tif"},
        UsageCase{
            "ShiftNotANumber", {"--shift", "east", "@"}, "--shift takes auto or X,Y, not 'east'"},
        UsageCase{"ShiftOneNumber",
                  {"--shift", "500000", "@"},
                  "--shift takes auto or X,Y, not '500000'"},
        UsageCase{"ShiftBelowAGridUnit",
                  {"--shift", "0.01,0", "@"},
                  "--shift: '0.01,0' is no whole number of grid units (0.025 mm) within 27,487 km"},
        UsageCase{
            "ShiftBeyondEarth",
            {"--units", "m", "--shift", "0,30000000", "@"},
            "--shift: '0,30000000' is no whole number of grid units (0.025 mm) within 27,487 km"},
        UsageCase{"CrsNotEpsg",
                  {"--crs", "UTM33", "@"},
                  "--crs: 'UTM33' is no EPSG code: write it EPSG:N, as EPSG:32633"},
        UsageCase{"CrsUnknownCode",
                  {"--crs", "EPSG:1", "@"},
                  "--crs: EPSG:1 is no reference system PROJ knows"},
        UsageCase{"CrsVertical",
                  {"--crs", "EPSG:5703", "@"},
                  "--crs: EPSG:5703 is neither a projected nor a geographic 2D reference system"},
        UsageCase{"PreviewNotPng",
                  {"--preview", "p.jpg", "@"},
                  "--preview 'p.jpg' must end in .png: the preview is a PNG"},
        UsageCase{"PreviewAsGrid",
                  {"--preview", "p.asc", "@"},
                  "--preview 'p.asc' must end in .png: the preview is a PNG"},
        UsageCase{
            "FillWithValue", {"--fill=yes", "@"}, "option '--fill' doesn't allow an argument"},
        UsageCase{
            "NoDataWithValue", {"--nodata=1", "@"}, "option '--nodata' doesn't allow an argument"},
        UsageCase{"BoundsOfThreeNumbers",
                  {"--bounds", "0,0,1", "@"},
                  "--bounds takes X0,Y0,X1,Y1 with X0 < X1 and Y0 < Y1, not '0,0,1'"},
        UsageCase{"BoundsTheWrongWayRound",
                  {"--bounds=2,0,1,1", "@"},
                  "--bounds takes X0,Y0,X1,Y1 with X0 < X1 and Y0 < Y1, not '2,0,1,1'"},
        UsageCase{"BoundsNotNumbers",
                  {"--bounds", "a,b,c,d", "@"},
                  "--bounds takes X0,Y0,X1,Y1 with X0 < X1 and Y0 < Y1, not 'a,b,c,d'"},
        UsageCase{"WidthPxZero",
                  {"--width-px", "0", "@"},
                  "--width-px needs a whole number of points from 1 to 2147483648, not '0'"},
        UsageCase{"HeightPxNotANumber",
                  {"--height-px=tall", "@"},
                  "--height-px needs a whole number of points from 1 to 2147483648, not 'tall'"},
        UsageCase{"PitchAndWidthPx",
                  {"--pitch", "1", "--width-px", "10", "@"},
                  "--pitch and --width-px or --height-px each choose the pitch; give one"},
        UsageCase{"UnknownPngLevels",
                  {"--png-levels", "half", "@"},
                  "--png-levels takes full or units, not 'half'"},
        UsageCase{"PngLevelsWithoutValue",
                  {"@", "--png-levels"},
                  "option '--png-levels' requires an argument"},
        UsageCase{"BitDepthTwelve", {"--bit-depth=12", "@"}, "--bit-depth takes 8 or 16, not '12'"},
        UsageCase{"AlsoWithoutValue", {"@", "--also"}, "option '--also' requires an argument"},
        UsageCase{"AlsoForTwoInputs",
                  {"--also", "x.png", "@", "@"},
                  "--also and --preview name single files; they take a single input"},
        UsageCase{"PreviewForTwoInputs",
                  {"--preview", "x.png", "@", "@"},
                  "--also and --preview name single files; they take a single input"},
        UsageCase{"OutputNamedTwice",
                  {"-o", "x.png", "--also", "x.png", "@"},
                  "'x.png' is named twice as an output"},
        UsageCase{"PreviewOverTheOutput",
                  {"-o", "x.png", "--preview", "x.png", "@"},
                  "'x.png' is named twice as an output"},
        // Two inputs that would write one map: the second would destroy the
        // first.
        UsageCase{
            "TwoExtensionsOneMap", {"x.stl", "x.ast"}, "x.stl and x.ast would both write x.hzm"},
        UsageCase{"OneFolderTwoNames",
                  {"-o", ".", "a/x.stl", "b/x.stl"},
                  "a/x.stl and b/x.stl would both write ./x.hzm"},
        UsageCase{"SameInputTwice",
                  {"a/x.stl", "a/./x.stl"},
                  "a/x.stl and a/./x.stl would both write a/./x.hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

struct PitchCase {
  const char* label;
  const char* pitch;
};

// Test names and failure output show the case by its label.
void PrintTo(const PitchCase& c, std::ostream* os) { *os << c.label; }

class CliPitchTest : public ::testing::TestWithParam<PitchCase> {};

// The window's "Error!" boxes become one GNU message with the value typed.
TEST_P(CliPitchTest, RefusedPitchPrintsItsMessage) {
  TempDir dir;
  const Outcome r = RunStl2hzm({{"--pitch", GetParam().pitch, Worked()}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "stl2hzm: --pitch: '" + std::string(GetParam().pitch) +
                       "' is not a number of millimetres from 0.025 to 6.375\n"
                       "Try 'stl2hzm --help' for more information.\n");
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Pitch, CliPitchTest,
                         ::testing::Values(PitchCase{"BelowOneUnit", "0.02"},
                                           PitchCase{"Zero", "0"}, PitchCase{"TooLarge", "6.4"},
                                           PitchCase{"Negative", "-1"},
                                           PitchCase{"Letters", "fine"}, PitchCase{"Empty", ""},
                                           PitchCase{"CommaInPointLocale", "1,0"},
                                           PitchCase{"PointAndComma", "1.0,5"}),
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

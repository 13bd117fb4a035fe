// stl2hzm writing PNGs, ESRI grids and previews: the format each name or
// --format chooses, and the golden files of a small model of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

using Names = std::vector<std::string>;

// The format a file's first bytes show.
std::string FormatOfFile(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0) return "png";
  if (bytes.rfind("ncols ", 0) == 0) return "asc";
  if (bytes.rfind("VERSION=6\r\n", 0) == 0) return "hzm";
  return "unknown";
}

struct FormatCase {
  const char* label;
  std::vector<std::string> args;  // before the input, worked.stl
  const char* file;               // the one output
  const char* format;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.label; }

class CliFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(CliFormatTest, NameOrFormatOptionChoosesTheFormat) {
  const FormatCase& c = GetParam();
  TempDir dir;
  dir.Write("worked.stl", ReadFileBytes(TestData("worked_example.stl")));
  std::vector<std::string> args = {"-q", "--pitch", "1"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back("worked.stl");
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), (Names{c.file, "worked.stl"}));
  EXPECT_EQ(FormatOfFile(dir.File(c.file)), c.format);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CliFormatTest,
    ::testing::Values(
        FormatCase{"PngByName", {"-o", "m.png"}, "m.png", "png"},
        FormatCase{"AscByNameInAnyCase", {"-o", "m.ASC"}, "m.ASC", "asc"},
        FormatCase{"HzmByNameInAnyCase", {"-o", "m.HZM"}, "m.HZM", "hzm"},
        FormatCase{"OptionTakesAnyName", {"--format", "hzm", "-o", "m.dat"}, "m.dat", "hzm"},
        FormatCase{"OptionTakesANameWithoutExtension", {"--format=png", "-o", "map"}, "map", "png"},
        FormatCase{"OptionOverridesTheName", {"--format", "asc", "-o", "m.txt"}, "m.txt", "asc"},
        FormatCase{"HzmOptionOverPngName", {"--format=hzm", "-o", "m.png"}, "m.png", "hzm"},
        FormatCase{"OptionNamesTheProposal", {"--format", "png"}, "worked.png", "png"},
        FormatCase{"DefaultStaysTheHeightMap", {}, "worked.hzm", "hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

// The PNG's levels and depth as the options set them, against the height
// map of the same run.
struct PngOptionCase {
  const char* label;
  std::vector<std::string> args;  // besides --also m.png
  PngRule rule;
};

void PrintTo(const PngOptionCase& c, std::ostream* os) { *os << c.label; }

class CliPngOptionTest : public ::testing::TestWithParam<PngOptionCase> {};

TEST_P(CliPngOptionTest, PixelsFollowTheOptions) {
  const PngOptionCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> args = {"-q", "--pitch", "0.5", "-o", "m.hzm", "--also", "m.png"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(GoldenFile("ramp.stl"));
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto points = ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  EXPECT_EQ(PngAgainstHzm(DecodePng(dir.File("m.png")), points, c.rule), "same");
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliPngOptionTest,
    ::testing::Values(PngOptionCase{"FullRangeByDefault", {}, {}},
                      PngOptionCase{"FullRangeByName", {"--png-levels", "full"}, {}},
                      PngOptionCase{"Units", {"--png-levels=units"}, {true, 16}},
                      PngOptionCase{"EightBits", {"--bit-depth", "8"}, {false, 8}},
                      PngOptionCase{"SixteenBits", {"--bit-depth=16"}, {}},
                      PngOptionCase{"Inverted", {"--invert"}, {false, 16, true}},
                      PngOptionCase{"InvertedUnits8",
                                    {"--invert", "--png-levels", "units", "--bit-depth", "8"},
                                    {true, 8, true}}),
    [](const auto& info) { return std::string(info.param.label); });

// The worked example at 1 mm covers one point of its 3 x 3 lattice: the
// others are NODATA in the grid unless --fill, and transparent in the PNG
// with --nodata.
struct NoDataOptionCase {
  const char* label;
  std::vector<std::string> args;  // besides -o m.asc --also m.png
  bool grid_nodata;
  int png_color_type;
};

void PrintTo(const NoDataOptionCase& c, std::ostream* os) { *os << c.label; }

class CliNoDataTest : public ::testing::TestWithParam<NoDataOptionCase> {};

TEST_P(CliNoDataTest, UncoveredPointsFollowTheOptions) {
  const NoDataOptionCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> args = {"-q",     "--pitch", "1",        "-o",     "m.asc",
                                   "--also", "m.png",   "--bounds", "0,0,2,2"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(TestData("worked_example.stl"));
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const AscGrid grid = ParseAsc(ReadFileBytes(dir.File("m.asc")));
  EXPECT_EQ(grid.header.count("NODATA_value"), c.grid_nodata ? 1u : 0u);
  EXPECT_EQ(grid.rows.at(0).at(0), c.grid_nodata ? kAscNoData : 0);
  EXPECT_EQ(grid.rows.at(1).at(1), 40);
  const DecodedPng png = DecodePng(dir.File("m.png"));
  EXPECT_EQ(png.color_type, c.png_color_type);
}

INSTANTIATE_TEST_SUITE_P(Options, CliNoDataTest,
                         ::testing::Values(NoDataOptionCase{"ByDefault", {}, true, 0},
                                           NoDataOptionCase{"Fill", {"--fill"}, false, 0},
                                           NoDataOptionCase{"NoData", {"--nodata"}, true, 4},
                                           NoDataOptionCase{
                                               "Both", {"--nodata", "--fill"}, false, 4}),
                         [](const auto& info) { return std::string(info.param.label); });

// The images of ramp.stl (-0.475 to 3 mm by 0 to 2 mm) at the pitch
// --width-px or --height-px chooses, named in the summary line; --bounds in
// the model's unit.
struct SizeCase {
  const char* label;
  std::vector<std::string> args;  // besides -o m.png
  std::string summary;            // what the summary line says of the size
  std::uint32_t width, height;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.label; }

class CliImageSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CliImageSizeTest, ChoosesThePitchAndSaysIt) {
  const SizeCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> args = {"-o", "m.png"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(GoldenFile("ramp.stl"));
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find(c.summary + " -> m.png"), std::string::npos) << r.err;
  const DecodedPng png = DecodePng(dir.File("m.png"));
  EXPECT_EQ(png.width, c.width);
  EXPECT_EQ(png.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CliImageSizeTest,
    ::testing::Values(
        // 139 units across from -19: floor(139 / 2) + 1 = 70 at 0.05 mm.
        SizeCase{"WidthPx", {"--width-px", "70"}, "70 x 41 points at a pitch of 0.05 mm", 70, 41},
        SizeCase{"HeightPx", {"--height-px=5"}, "7 x 5 points at a pitch of 0.5 mm", 7, 5},
        // 1 to 2 mm by 0.5 to 1.5 mm at 0.1 mm, on the lines from -0.475.
        SizeCase{"Bounds", {"--bounds", "1,0.5,2,1.5", "--pitch", "0.1"}, "10 x 11 points", 10, 11},
        SizeCase{"BoundsInCentimetres",
                 // The model ten times larger: 10 to 20 mm by 5 to 15 mm at 1 mm.
                 {"--units", "cm", "--bounds", "1,0.5,2,1.5", "--pitch", "1"},
                 "10 x 11 points",
                 10,
                 11}),
    [](const auto& info) { return std::string(info.param.label); });

// A model in metres gives a grid in metres: the header and every value.
TEST(CliOutputsTest, GridSpeaksTheModelsUnit) {
  TempDir dir;
  dir.Write("site.stl", "vertex 2 3 0.5\nvertex 4 3 1.5\nvertex 2 5 1\n");
  const Outcome r =
      RunStl2hzm({{"-q", "--units", "m", "--pitch", "6.25", "--fill", "-o", "m.asc", "site.stl"},
                  dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string grid = ReadFileBytes(dir.File("m.asc"));
  // 6.25 mm is 0.00625 m; the model's extent starts at 2 m, 3 m.
  EXPECT_EQ(grid.substr(0, grid.find("\r\n", grid.find("cellsize"))),
            "ncols 321\r\nnrows 321\r\nxllcenter 2\r\nyllcenter 3\r\ncellsize 0.00625");
  // The lower-left corner, at 0.5 m, starts the last row; values in metres.
  EXPECT_NE(grid.find("\r\n0.5 0.503125 "), std::string::npos);
  EXPECT_EQ(std::count(grid.begin(), grid.end(), '\n'), 5 + 321);
}

// --invert writes the grid as depths below the highest point.
TEST(CliOutputsTest, InvertedGridHoldsDepths) {
  TempDir dir;
  const Outcome r = RunStl2hzm({{"-q", "--pitch", "0.5", "--invert", "-o", "m.hzm", "--also",
                                 "m.asc", GoldenFile("ramp.stl")},
                                dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto points = ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  const AscGrid grid = ParseAsc(ReadFileBytes(dir.File("m.asc")));
  std::int64_t high = points.front().z;
  for (const MapPoint& p : points) high = std::max(high, p.z);
  ASSERT_EQ(grid.rows.size(), 5u);
  // The ramp covers its whole lattice, bottom row first in the map.
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(grid.rows[4 - i / 7][i % 7], high - points[i].z) << i;
  }
}

TEST(CliOutputsTest, UnitsRefuseARangeTheyCannotHold) {
  TempDir dir;
  dir.Write("tall.stl", "vertex 0 0 0\nvertex 2 0 20\nvertex 0 2 10\n");
  const Outcome r = RunStl2hzm({{"-q", "--pitch", "0.5", "--png-levels", "units", "--bit-depth",
                                 "8", "-o", "m.png", "tall.stl"},
                                dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "m.png: the heights span 800 grid units; a 8-bit PNG with one level per grid unit "
            "holds at most 255.\n");
  EXPECT_EQ(ListFolder(dir.path()), Names{"tall.stl"});
}

TEST(CliOutputsTest, UnknownExtensionNamesTheFormatsAndTheOption) {
  TempDir dir;
  const Outcome r = RunStl2hzm(
      {{"--pitch", "1", "-o", "m.tga", TestData("worked_example.stl")}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "stl2hzm: 'm.tga' ends in no extension of a known format: name it .hzm, .png, .asc "
            "or .tif, or say which with --format hzm|png|asc|tif\nTry 'stl2hzm --help' for more "
            "information.\n");
  EXPECT_EQ(ListFolder(dir.path()), Names{});
}

// The golden case ramp_formats writes every format from one scan; its
// summary line names them all, and its golden files agree with each other.
TEST(CliOutputsTest, OneRunWritesEveryFormat) {
  TempDir dir;
  const Outcome r = RunStl2hzm({{"--pitch", "0.5", "-o", "r.hzm", "--also", "r.png", "--also",
                                 "r.asc", "--preview", "p.png", GoldenFile("ramp.stl")},
                                dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("7 x 5 points -> r.hzm, r.png, r.asc, p.png"), std::string::npos) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), (Names{"p.png", "r.asc", "r.hzm", "r.png"}));
  const auto points = ParseHzm(ReadFileBytes(GoldenFile("ramp_formats.hzm")));
  EXPECT_EQ(PngAgainstHzm(DecodePng(GoldenFile("ramp_formats.also.png")), points), "same");
  EXPECT_EQ(AscAgainstHzm(ParseAsc(ReadFileBytes(GoldenFile("ramp_formats.also.asc"))), points),
            "same");
}

TEST(CliOutputsTest, FailingFurtherOutputNamesItselfAndKeepsTheEarlierFiles) {
  TempDir dir;
  dir.Write("r.hzm", "earlier\r\n");
  const Outcome r = RunStl2hzm(
      {{"-q", "--pitch", "0.5", "-o", "r.hzm", "--also", "gone/r.png", GoldenFile("ramp.stl")},
       dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "cannot create gone/r.png: folder does not exist\n");
  EXPECT_EQ(ReadFileBytes(dir.File("r.hzm")), "earlier\r\n");
  EXPECT_EQ(ListFolder(dir.path()), Names{"r.hzm"});
}

// A model 50 km across at 0.025 mm: some 4 x 10^18 points, which no disk
// holds in any format but the preview. The run is refused once the model
// is read, before the scan, naming every output on the disk that is short.
struct SpaceRefusalCase {
  const char* label;
  std::vector<std::string> args;  // before the input, site.stl
  std::string named;              // "FILE" or "FILE and FILE"
};

void PrintTo(const SpaceRefusalCase& c, std::ostream* os) { *os << c.label; }

class CliSpaceRefusalTest : public ::testing::TestWithParam<SpaceRefusalCase> {};

TEST_P(CliSpaceRefusalTest, RefusesBeforeTheScanNamingTheOutputs) {
  const SpaceRefusalCase& c = GetParam();
  TempDir dir;
  dir.Write("site.stl", "vertex 0 0 0\nvertex 50000000 0 0\nvertex 0 50000000 1\n");
  std::vector<std::string> args = {"-q", "--pitch", "0.025"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back("site.stl");
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  const std::string first = c.named.substr(0, c.named.find(' '));
  const bool several = c.named.find(" and ") != std::string::npos;
  EXPECT_EQ(r.err.rfind(first + (several ? ": the height maps need at least "
                                         : ": the height map needs at least "),
                        0),
            0u)
      << r.err;
  const std::string end = " are free on the disk of " + c.named + ".\n";
  EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), end.size())), end) << r.err;
  EXPECT_EQ(ListFolder(dir.path()), Names{"site.stl"});
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliSpaceRefusalTest,
    ::testing::Values(
        SpaceRefusalCase{"Png", {"-o", "m.png"}, "m.png"},
        SpaceRefusalCase{"GridAlsoBesideADevice", {"-o", "/dev/null", "--also", "m.asc"}, "m.asc"},
        SpaceRefusalCase{"PngAlsoBesideADevice", {"-o", "/dev/null", "--also", "m.png"}, "m.png"},
        SpaceRefusalCase{"TwoOnOneDisk", {"-o", "m.hzm", "--also", "m.png"}, "m.hzm and m.png"}),
    [](const auto& info) { return std::string(info.param.label); });

// Under a Japanese locale the list of outputs is worded in Japanese too.
TEST(CliSpaceRefusalTest, NamesTheOutputsInTheUsersLanguage) {
  if (!HasLocale("ja_JP.UTF-8")) GTEST_SKIP() << "no ja_JP.UTF-8 locale here";
  TempDir dir;
  dir.Write("site.stl", "vertex 0 0 0\nvertex 50000000 0 0\nvertex 0 50000000 1\n");
  const Outcome r = RunStl2hzm(
      {{"-q", "--pitch", "0.025", "-o", "m.hzm", "--also", "m.png", "--also", "m.asc", "site.stl"},
       dir.path().string(),
       {"LC_ALL=", "LANGUAGE=", "LANG=ja_JP.UTF-8"}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(std::regex_match(r.err, std::regex("m\\.hzm: 高さマップには合わせて少なくとも [0-9]+ "
                                                 "バイトが必要ですが, m\\.hzm, m\\.png と "
                                                 "m\\.asc のディスクには [0-9]+ "
                                                 "バイトしか空きがありません\\.\n")))
      << r.err;
  EXPECT_EQ(ListFolder(dir.path()), Names{"site.stl"});
}

}  // namespace
}  // namespace pelmoro::testing

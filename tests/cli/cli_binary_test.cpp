// stl2hzm on binary STL files, on inputs that are no STL files, and with
// --units and --info.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

struct GoldenCase {
  std::string name;
  std::vector<std::string> options;
  std::string golden;  // in tests/data
};

class CliBinaryGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

// The binary relief (tools/make_binary_relief.py) and its ASCII twin, the
// same float32 values printed exactly, both give the golden map.
TEST_P(CliBinaryGoldenTest, BinaryAndAsciiTwinGiveTheGoldenMap) {
  TempDir dir;
  const std::string relief = ReadFileBytes(TestData("binary_relief.stl"));
  dir.Write("relief.stl", relief);
  dir.Write("twin.stl", AsciiStl(BinaryStlTriangles(relief)));
  const std::string golden = ReadFileBytes(TestData(GetParam().golden));
  for (const std::string input : {"relief.stl", "twin.stl"}) {
    std::vector<std::string> args = GetParam().options;
    args.insert(args.end(), {"-q", "-o", "out.hzm", input});
    const Outcome r = RunStl2hzm({args, dir.path().string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(ReadFileBytes(dir.File("out.hzm")) == golden) << input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Relief, CliBinaryGoldenTest,
    ::testing::Values(GoldenCase{"Highest", {"--pitch", "0.25"}, "binary_relief.hzm"},
                      GoldenCase{"Surface", {"--pitch", "0.25", "--surface", "--threads", "1"},
                                 "binary_relief_surface.hzm"}),
    [](const auto& info) { return info.param.name; });

TEST(CliBinaryTest, NotAnStlFileFailsAndKeepsTheEarlierMap) {
  TempDir dir;
  dir.Write("notes.stl", "remember the milk\n");
  dir.Write("notes.hzm", "an earlier height map\r\n");
  const Outcome r = RunStl2hzm({{"notes.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "notes.stl: not an STL file: plain text without a \"solid\" line or vertex lines.\n");
  EXPECT_EQ(ReadFileBytes(dir.File("notes.hzm")), "an earlier height map\r\n");
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"notes.hzm", "notes.stl"}));
}

TEST(CliBinaryTest, EmptySolidIsWarnedAboutUnlessQuiet) {
  TempDir dir;
  dir.Write("empty.stl", "solid nothing\nendsolid nothing\n");
  const Outcome loud = RunStl2hzm({{"empty.stl"}, dir.path().string()});
  EXPECT_EQ(loud.exit_code, 0);
  EXPECT_NE(loud.err.find("empty.stl: warning: no triangles in this model"), std::string::npos)
      << loud.err;
  EXPECT_EQ(ReadFileBytes(dir.File("empty.hzm")), "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n0,0,0\r\nS\r\n");
  const Outcome quiet = RunStl2hzm({{"-q", "empty.stl"}, dir.path().string()});
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.err, "");
}

struct UnitCase {
  std::string name;
  std::string units;
  std::string stl;       // one triangle
  std::string expected;  // the point line of its map at pitch 255 that matters
};

class CliUnitsTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(CliUnitsTest, ScalesCoordinatesAsTheyAreRead) {
  TempDir dir;
  dir.Write("m.stl", GetParam().stl);
  const Outcome r =
      RunStl2hzm({{"-q", "--units", GetParam().units, "--pitch", "6.375", "-o", "m.hzm", "m.stl"},
                  dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(ReadFileBytes(dir.File("m.hzm")).find(GetParam().expected), std::string::npos);
}

const std::string kFlat = "vertex 0 0 1\nvertex 2 0 1\nvertex 0 2 1\n";

INSTANTIATE_TEST_SUITE_P(
    Units, CliUnitsTest,
    ::testing::Values(UnitCase{"Millimetres", "mm", kFlat, "\r\n0,0,40\r\nS\r\n"},
                      UnitCase{"Centimetres", "cm", kFlat, "\r\n765,0,400\r\n"},
                      UnitCase{"Metres", "m", kFlat, "\r\n79815,0,40000\r\n"},
                      UnitCase{"Inches", "in", kFlat, "\r\n1785,0,1016\r\n"},
                      UnitCase{"Feet", "ft", kFlat, "\r\n23970,0,12192\r\n"}),
    [](const auto& info) { return info.param.name; });

TEST(CliBinaryTest, TinyModelGetsAUnitHint) {
  TempDir dir;
  dir.Write("flange.stl", "vertex 0 0 0\nvertex 0.05 0 0\nvertex 0 0.05 0.01\n");
  const Outcome r = RunStl2hzm({{"flange.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("flange.stl: the model measures 0.05 x 0.05 mm in plan view; if its file "
                       "is in m, try --units m (1000 times larger)"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace pelmoro::testing

// stl2hzm on binary STL files, on inputs that are no STL files, and with
// --units and --info.
#include <gtest/gtest.h>
#include <sys/wait.h>

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
  std::string golden;  // in tests/golden
};

class CliBinaryGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

// The ASCII twin of the binary relief (tools/make_binary_relief.py), the
// same float32 values printed exactly, gives the binary relief's golden
// maps (the golden cases run the binary file itself).
TEST_P(CliBinaryGoldenTest, AsciiTwinGivesTheBinaryGoldenMap) {
  TempDir dir;
  dir.Write("twin.stl",
            AsciiStl(BinaryStlTriangles(ReadFileBytes(GoldenFile("binary_relief.stl")))));
  std::vector<std::string> args = GetParam().options;
  args.insert(args.end(), {"-q", "-o", "out.hzm", "twin.stl"});
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(ReadFileBytes(dir.File("out.hzm")) == ReadFileBytes(GoldenFile(GetParam().golden)));
}

INSTANTIATE_TEST_SUITE_P(
    Relief, CliBinaryGoldenTest,
    ::testing::Values(GoldenCase{"Highest", {"--pitch", "0.25"}, "binary_highest.hzm"},
                      GoldenCase{"Surface",
                                 {"--pitch", "0.25", "--surface", "--threads", "1"},
                                 "binary_surface.hzm"}),
    [](const auto& info) { return info.param.name; });

// An input of these bytes, given as a file and through a pipe (which tells
// its kind by its first bytes alone, as it cannot be read twice): both
// convert to the same map, or both are refused, keep the earlier map and
// leave nothing behind.
struct InputCase {
  std::string name;
  std::string bytes;
  std::string file_error;  // after "in.stl: "; empty: it converts
  std::string pipe_error;  // after "standard input: "
};

class CliInputKindTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(CliInputKindTest, FileAndPipeAgree) {
  TempDir dir;
  const InputCase& c = GetParam();
  dir.Write("in.stl", c.bytes);
  for (const char* name : {"file.hzm", "pipe.hzm"}) dir.Write(name, "an earlier map\r\n");
  const std::string cd = "cd '" + dir.path().string() + "' && ";
  const int by_file = RunShell(cd + "\"$STL2HZM\" -q -o file.hzm in.stl 2> file.err");
  const int by_pipe = RunShell(cd + "cat in.stl | \"$STL2HZM\" -q -o pipe.hzm - 2> pipe.err");
  ASSERT_TRUE(WIFEXITED(by_file) && WIFEXITED(by_pipe));
  const int expected = c.file_error.empty() ? 0 : 1;
  EXPECT_EQ(WEXITSTATUS(by_file), expected);
  EXPECT_EQ(WEXITSTATUS(by_pipe), expected);
  if (c.file_error.empty()) {
    EXPECT_NE(ReadFileBytes(dir.File("file.hzm")), "an earlier map\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("pipe.hzm")), ReadFileBytes(dir.File("file.hzm")));
    return;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("file.err")), "in.stl: " + c.file_error + "\n");
  EXPECT_EQ(ReadFileBytes(dir.File("pipe.err")), "standard input: " + c.pipe_error + "\n");
  for (const char* name : {"file.hzm", "pipe.hzm"}) {
    EXPECT_EQ(ReadFileBytes(dir.File(name)), "an earlier map\r\n") << name;
  }
  EXPECT_EQ(ListFolder(dir.path()).size(), 5u);  // in.stl, two maps, two messages
}

std::string BinaryRelief() { return ReadFileBytes(GoldenFile("binary_relief.stl")); }

const std::string kPlainText =
    "not an STL file: plain text without a \"solid\" line or vertex lines.";

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliInputKindTest,
    ::testing::Values(
        InputCase{"BinaryRelief", BinaryRelief(), "", ""},
        InputCase{"BinaryWithSolidHeader", "solid" + BinaryRelief().substr(5), "", ""},
        InputCase{"AsciiModel", ReadFileBytes(TestData("worked_example.stl")), "", ""},
        InputCase{"PlainText", "remember the milk\n", kPlainText, kPlainText},
        InputCase{"LongPlainText", std::string(20000, 'x') + "\n", kPlainText, kPlainText},
        InputCase{"Empty", "", "not an STL file: the file is empty.",
                  "not an STL file: the file is empty."},
        InputCase{"PngImage", ReadFileBytes(GoldenFile("ramp_formats.also.png")),
                  "not an STL file: it begins like a PNG image.",
                  "not an STL file: it begins like a PNG image."},
        InputCase{"TruncatedBinary", BinaryRelief().substr(0, 200),
                  "truncated binary STL: the header promises 97 triangles, the file holds 2.",
                  "truncated binary STL: the header promises 97 triangles, the file holds 2."},
        InputCase{"BinaryWithBytesAfter", BinaryRelief() + "xyz\n",
                  "not an STL file: binary data of 4938 bytes, where a binary STL of 97 triangles "
                  "(its header's count) has 4934.",
                  "not an STL file: binary data with bytes after the last of the 97 triangles its "
                  "header counts."}),
    [](const auto& info) { return info.param.name; });

TEST(CliBinaryTest, EmptySolidIsWarnedAboutUnlessQuiet) {
  TempDir dir;
  dir.Write("empty.stl", "solid nothing\nendsolid nothing\n");
  const Outcome loud = RunStl2hzm({{"empty.stl"}, dir.path().string()});
  EXPECT_EQ(loud.exit_code, 0);
  EXPECT_NE(loud.err.find("empty.stl: warning: no triangles in this model"), std::string::npos)
      << loud.err;
  EXPECT_EQ(ReadFileBytes(dir.File("empty.hzm")),
            "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n0,0,0\r\nS\r\n");
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

// A model whose plan view is under 1 mm or over 100 m gets a hint about the
// unit of its file: the one that brings it nearest to 100 mm, if any does.
struct HintCase {
  std::string name;
  std::vector<std::string> options;
  std::string width, depth;  // the triangle's legs in the file's unit
  std::string hint;          // after "model.stl: the model measures "; empty: none
};

void PrintTo(const HintCase& c, std::ostream* os) { *os << c.name; }

class CliUnitHintTest : public ::testing::TestWithParam<HintCase> {};

TEST_P(CliUnitHintTest, SuggestsTheLikelyUnit) {
  TempDir dir;
  dir.Write("model.stl", "vertex 0 0 0\nvertex " + GetParam().width + " 0 0\nvertex 0 " +
                             GetParam().depth + " 1\n");
  std::vector<std::string> args = GetParam().options;
  args.insert(args.end(), {"--pitch", "6.375", "-o", "-", "model.stl"});
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string prefix = "model.stl: the model measures ";
  const std::size_t at = r.err.find(prefix);
  if (GetParam().hint.empty()) {
    EXPECT_EQ(at, std::string::npos) << r.err;
    return;
  }
  ASSERT_NE(at, std::string::npos) << r.err;
  EXPECT_EQ(r.err.substr(at + prefix.size(), r.err.find('\n', at) - at - prefix.size()),
            GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CliUnitHintTest,
    ::testing::Values(
        HintCase{"FlangeInMetres",
                 {},
                 "0.05",
                 "0.05",
                 "0.05 x 0.05 mm in plan view; if its file is in m, try --units m (1000 times "
                 "larger)"},
        HintCase{"PartInFeet",
                 {},
                 "0.75",
                 "0.5",
                 "0.75 x 0.5 mm in plan view; if its file is in ft, try --units ft (304.8 times "
                 "larger)"},
        HintCase{"SensibleSize", {}, "50", "20", ""},
        HintCase{"SiteInMillimetres",
                 {},
                 "200000",
                 "1",
                 "200000 x 1 mm in plan view, over 100 m; check the unit of its file (--units)"},
        HintCase{"MillimetresReadAsMetres",
                 {"--units", "m"},
                 "120",
                 "0.001",
                 "120000 x 1 mm in plan view; if its file is in mm, try --units mm (1000 times "
                 "smaller)"}),
    [](const auto& info) { return info.param.name; });

// --info reads the model and tells what a conversion would write, exactly,
// and writes nothing itself.
struct ModelInfoCase {
  std::string name;
  std::string model;  // a file of tests/data or tests/golden
  std::string pitch;
  std::string lines;  // stdout after "MODEL: "
};

class CliModelInfoTest : public ::testing::TestWithParam<ModelInfoCase> {};

TEST_P(CliModelInfoTest, TellsTheSizeOfTheMapWithoutWritingIt) {
  TempDir dir;
  const std::string model = dir.Write("model.stl", ReadFileBytes(GetParam().model));
  const Outcome info = RunStl2hzm(
      {{"--info", "--exact", "--pitch", GetParam().pitch, "model.stl"}, dir.path().string()});
  EXPECT_EQ(info.exit_code, 0) << info.err;
  EXPECT_EQ(info.out, "model.stl: " + GetParam().lines);
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"model.stl"}));
  const Outcome run =
      RunStl2hzm({{"-q", "--pitch", GetParam().pitch, "model.stl"}, dir.path().string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string bytes = std::to_string(ReadFileBytes(dir.File("model.hzm")).size());
  EXPECT_NE(info.out.find("height map: " + bytes + " bytes\n"), std::string::npos) << bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Models, CliModelInfoTest,
    ::testing::Values(
        ModelInfoCase{
            "Ascii", TestData("worked_example.stl"), "0.1",
            "ASCII STL, 1 triangles\n  bounds (mm): x 0.1 to 2.1, y 0.1 to 2.1, z 1 to 1\n"
            "  lattice at 0.1 mm: 22 x 22 points\n  height map: 4550 bytes\n"},
        ModelInfoCase{
            "Binary", GoldenFile("binary_relief.stl"), "0.25",
            "binary STL, 97 triangles\n  bounds (mm): x -0.275 to 3.9, y 0.1 to 3.1, z 0.4 to "
            "3.1\n  lattice at 0.25 mm: 17 x 13 points\n  height map: 2362 bytes\n"},
        ModelInfoCase{"Empty", GoldenFile("empty.stl"), "0.25",
                      "ASCII STL, 0 triangles\n  bounds: none (no triangles)\n"
                      "  lattice at 0.25 mm: 1 x 1 points\n  height map: 39 bytes\n"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pelmoro::testing

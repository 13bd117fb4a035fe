// --bottom: the box with a pocket in its underside, seen from below and
// from above, through every output.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/map_readers.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

// A point of one output at (x, y) mm, and what it must hold there: a height
// in grid units (the HZM, the grid), a PNG sample, or a grid's NODATA.
struct BottomCase {
  const char* label;
  const char* output;             // m.hzm, m.asc or m.png
  std::vector<std::string> args;  // besides the pitch of 1 mm and -o
  int x, y;                       // mm, on the lattice
  std::int64_t expected;
  bool transparent = false;  // a PNG point with no height (--nodata)
};

void PrintTo(const BottomCase& c, std::ostream* os) { *os << c.label; }

// The images cover 0 to 14 mm in x and y, beyond the box on every side.
const std::vector<std::string> kAround = {"--bounds", "0,0,14,14"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The value the output holds at (x, y) mm.
std::int64_t ValueAt(const std::string& path, const BottomCase& c, bool* transparent) {
  const std::string name = c.output;
  if (name.ends_with(".hzm")) {
    for (const MapPoint& p : ParseHzm(ReadFileBytes(path))) {
      if (p.x == c.x * 40 && p.y == c.y * 40) return p.z;
    }
    ADD_FAILURE() << "no point at " << c.x << ", " << c.y;
    return -1;
  }
  // Both images: 15 x 15 points from (0, 0), the top row the highest y.
  const auto row = static_cast<std::uint32_t>(14 - c.y);
  const auto column = static_cast<std::uint32_t>(c.x);
  if (name.ends_with(".asc")) return ParseAsc(ReadFileBytes(path)).rows.at(row).at(column);
  const DecodedPng png = DecodePng(path);
  EXPECT_EQ(png.width, 15u);
  EXPECT_EQ(png.height, 15u);
  if (!png.alpha.empty()) *transparent = png.alpha.at(row * png.width + column) == 0;
  return png.At(column, row);
}

class CliBottomTest : public ::testing::TestWithParam<BottomCase> {};

TEST_P(CliBottomTest, ThePocketShowsFromBelow) {
  const BottomCase& c = GetParam();
  TempDir dir;
  dir.Write("box.stl", AsciiStl(PocketedBoxTriangles()));
  std::vector<std::string> args = With({"-q", "--pitch", "1", "-o", c.output}, c.args);
  args.push_back("box.stl");
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  bool transparent = false;
  EXPECT_EQ(ValueAt(dir.File(c.output), c, &transparent), c.expected);
  EXPECT_EQ(transparent, c.transparent);
}

// Grid units: the box's base at 40, the pocket's ceiling at 120, its top
// at 240 (z max), the origin's 0 (z min). The PNG's levels count grid
// units above the lowest height of its points, 40.
INSTANTIATE_TEST_SUITE_P(
    Points, CliBottomTest,
    ::testing::Values(
        BottomCase{"HzmInThePocket", "m.hzm", {"--bottom"}, 7, 7, 120},
        BottomCase{"HzmOnThePocketsEdge", "m.hzm", {"--bottom"}, 5, 7, 40},
        BottomCase{"HzmBesideThePocket", "m.hzm", {"--bottom"}, 3, 3, 40},
        BottomCase{"HzmBeyondTheBoxIsZMax", "m.hzm", {"--bottom"}, 0, 0, 240},
        BottomCase{"HzmFromAboveInThePocket", "m.hzm", {}, 7, 7, 240},
        BottomCase{"HzmFromAboveBeyondTheBox", "m.hzm", {}, 0, 0, 0},
        BottomCase{"HzmSurfaceFromBelowTakesTheTop", "m.hzm", {"--bottom", "--surface"}, 7, 7, 240},
        BottomCase{"HzmEightThreads", "m.hzm", {"--bottom", "--threads", "8"}, 8, 6, 120},
        BottomCase{"GridInThePocket", "m.asc", With({"--bottom"}, kAround), 6, 8, 120},
        BottomCase{"GridBesideThePocket", "m.asc", With({"--bottom"}, kAround), 3, 10, 40},
        BottomCase{"GridBeyondTheBox", "m.asc", With({"--bottom"}, kAround), 13, 1, kAscNoData},
        BottomCase{"GridFilledBeyondTheBox", "m.asc", With({"--bottom", "--fill"}, kAround), 13, 1,
                   240},
        BottomCase{"GridFromAboveInThePocket", "m.asc", kAround, 7, 7, 240},
        BottomCase{"PngInThePocket", "m.png", With({"--bottom", "--png-levels", "units"}, kAround),
                   7, 7, 80},
        BottomCase{"PngBesideThePocket", "m.png",
                   With({"--bottom", "--png-levels", "units"}, kAround), 11, 11, 0},
        BottomCase{"PngBeyondTheBoxIsZMax", "m.png",
                   With({"--bottom", "--png-levels", "units"}, kAround), 1, 13, 200},
        BottomCase{"PngTransparentBeyondTheBox", "m.png",
                   With({"--bottom", "--png-levels", "units", "--nodata"}, kAround), 1, 13, 0,
                   true},
        // Full range: 40 is 0, 120 is 80 / 200 of 65535 (26214), 240 is 65535.
        BottomCase{"PngFullRangeInThePocket", "m.png", With({"--bottom"}, kAround), 7, 7, 26214}),
    [](const auto& info) { return std::string(info.param.label); });

// The bottom of a vertex at -2^31 grid units has no mirror: refused with
// the input named, nothing written. -53687091.225 mm is TruncateReal(m 40 +
// 0.5) = -2^31 grid units, still in the grid's range.
TEST(CliBottomTest, AVertexAtTheLowestGridValueIsRefused) {
  TempDir dir;
  dir.Write("deep.stl", "vertex 0 0 -53687091.225\nvertex 1 0 0\nvertex 0 1 0\n");
  const Outcome r =
      RunStl2hzm({{"-q", "--bottom", "-o", "m.hzm", "deep.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("deep.stl"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the bottom side cannot be seen of a vertex at -2147483648 grid units"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"deep.stl"});
}

}  // namespace
}  // namespace pelmoro::testing

#include "engine/read/stl_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "tests/support/fake_driver.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::TempDir;

std::int32_t Read(GeometryStore& store, const std::string& path, FakeDriver& driver,
                  int units = kGridUnitsPerMillimetre) {
  store.ResetBounds();
  return ReadStlVertices(store, path, driver, units);
}

// One vertex line read alone: it stays in slot 0 of row 0, uncounted.
struct FieldCase {
  std::string name;
  std::string line;
  Vertex expected;
  int units = kGridUnitsPerMillimetre;  // grid units per file unit
};

class VertexFieldsTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(VertexFieldsTest, ConvertsToGridUnits) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  EXPECT_EQ(Read(store, dir.Write("one.stl", GetParam().line + "\n"), driver, GetParam().units), 0);
  const Vertex& v = store.triangle(0).v[0];
  EXPECT_EQ(v.x, GetParam().expected.x);
  EXPECT_EQ(v.y, GetParam().expected.y);
  EXPECT_EQ(v.z, GetParam().expected.z);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, VertexFieldsTest,
    ::testing::Values(
        FieldCase{"Plain", "vertex 1 2 3", {40, 80, 120}},
        FieldCase{"Capitals", "VERTEX 1 2 3", {40, 80, 120}},
        FieldCase{"MixedCaseIndented", " \t VeRtEx 1 2 3", {40, 80, 120}},
        FieldCase{"NoBlankAfterKeyword", "vertex1 2 3", {40, 80, 120}},
        FieldCase{"PaddedNumbers", "vertex   1.0  2.0  3.0", {40, 80, 120}},
        FieldCase{"Tabs", "vertex\t1\t2\t3", {40, 80, 120}},
        FieldCase{"TrailingBlanks", "vertex 1 2 3  \t ", {40, 80, 120}},
        FieldCase{"Rounding", "vertex 0.1 -0.1 0.01", {4, -3, 0}},
        FieldCase{"NegativeHalves", "vertex -0.05 -0.03 2.5", {-1, 0, 100}},
        FieldCase{"Exponents", "vertex 1e-1 1E+1 -1.5e0", {4, 400, -59}},
        FieldCase{"ThreeDigitExponent", "vertex 3.422440e+000 -1e+001 0", {137, -399, 0}},
        FieldCase{
            "LargestGridValues", "vertex 53687091.1 -53687091.2 0", {2147483644, -2147483647, 0}},
        FieldCase{"Centimetres", "vertex 0.1 -0.1 2.5", {40, -39, 1000}, 400},
        FieldCase{"Metres", "vertex 0.001 -0.0000125 1.5", {40, 0, 60000}, 40000},
        FieldCase{"Inches", "vertex 1 -0.5 0.25", {1016, -507, 254}, 1016},
        FieldCase{"Feet", "vertex 1 0.1 -2", {12192, 1219, -24383}, 12192},
        FieldCase{
            "LargestInMetres", "vertex 53687.09 -53687.09 0", {2147483600, -2147483599, 0}, 40000}),
    [](const auto& info) { return info.param.name; });

struct ErrorCase {
  std::string name;
  std::string line;
  std::string message;
  int units = kGridUnitsPerMillimetre;
};

class VertexFieldErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(VertexFieldErrorTest, RefusedWithItsText) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const std::string path = dir.Write("bad.stl", "solid s\n" + GetParam().line + "\nendsolid\n");
  try {
    Read(store, path, driver, GetParam().units);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, VertexFieldErrorTest,
    ::testing::Values(
        ErrorCase{"KeywordWithMoreLetters", "vertexes 1 2 3", "'es' は浮動小数点数ではありません"},
        ErrorCase{"MissingZ", "vertex 1 2", "'' は浮動小数点数ではありません"},
        ErrorCase{"MissingAll", "vertex", "'' は浮動小数点数ではありません"},
        ErrorCase{"FourthField", "vertex 1 2 3 4", "'3 4' は浮動小数点数ではありません"},
        ErrorCase{"DecimalComma", "vertex 1,5 2 3", "'1,5' は浮動小数点数ではありません"},
        ErrorCase{"Letters", "vertex 1 abc 3", "'abc' は浮動小数点数ではありません"},
        ErrorCase{"BeyondGridRange", "vertex 53687091.2 0 0",
                  "'53687091.2' is outside the coordinate range of -53687091 to 53687091 mm"},
        ErrorCase{"BeyondGridRangeBelow", "vertex 0 -53687091.25 0",
                  "'-53687091.25' is outside the coordinate range of -53687091 to 53687091 mm"},
        ErrorCase{"BeyondExtendedRange", "vertex 0 0 1e4931",
                  "'1e4931' is outside the coordinate range of -53687091 to 53687091 mm"},
        ErrorCase{"BeyondRangeInCentimetres", "vertex 5368709.12 0 0",
                  "'5368709.12' is outside the coordinate range of -5368709.1 to 5368709.1 cm",
                  400},
        ErrorCase{"BeyondRangeInMetres", "vertex 0 -53687.0913 0",
                  "'-53687.0913' is outside the coordinate range of -53687.09 to 53687.09 m",
                  40000},
        ErrorCase{"BeyondRangeInInches", "vertex 0 0 2113665.01",
                  "'2113665.01' is outside the coordinate range of -2113665 to 2113665 in", 1016},
        ErrorCase{"BeyondRangeInFeet", "vertex 176138.76 0 0",
                  "'176138.76' is outside the coordinate range of -176138.75 to 176138.75 ft",
                  12192}),
    [](const auto& info) { return info.param.name; });

std::string Facet(const std::string& a, const std::string& b, const std::string& c) {
  return " facet normal 0 0 1\n  outer loop\n   vertex " + a + "\n   vertex " + b + "\n   vertex " +
         c + "\n  endloop\n endfacet\n";
}

TEST(ReadStlVerticesTest, GroupsByThreesAndKeepsTheRest) {
  TempDir dir;
  std::string text = "solid x\n" + Facet("0 0 0", "1 0 0", "0 1 0") +
                     Facet("0 0 1", "1 0 1", "0 1 1") + "vertex -5 -6 -7\nendsolid x\n";
  GeometryStore store;
  FakeDriver driver;
  EXPECT_EQ(Read(store, dir.Write("seven.stl", text), driver), 2);
  // The seventh vertex is in the bounds and in row 2, but not counted.
  // -5 mm * 40 + 0.5 truncates toward zero: -199.
  EXPECT_EQ(store.bounds().x_min, -199);
  EXPECT_EQ(store.bounds().y_min, -239);
  EXPECT_EQ(store.bounds().z_min, -279);
  EXPECT_EQ(store.triangle(2).v[0].x, -199);
  EXPECT_EQ(driver.passes, 2);
}

TEST(ReadStlVerticesTest, FourVertexFacetShiftsTheGrouping) {
  TempDir dir;
  std::string text =
      Facet("0 0 0", "1 0 0", "0 1 0") + "   vertex 9 9 9\n" + Facet("0 0 1", "2 0 1", "0 2 1");
  GeometryStore store;
  FakeDriver driver;
  EXPECT_EQ(Read(store, dir.Write("four.stl", text), driver), 2);
  // Row 1 is (9,9,9), (0,0,1), (2,0,1), ordered by y.
  EXPECT_EQ(store.triangle(1).v[0].y, 360);
  EXPECT_EQ(store.triangle(1).v[1].x, 0);
  EXPECT_EQ(store.triangle(1).v[2].x, 80);
}

TEST(ReadStlVerticesTest, StoresOrderedRowsWithMetrics) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  // (0,0), (3,0), (0,4) grid units are 0, 0.075 and 0.1 mm.
  ASSERT_EQ(Read(store, dir.Write("t.stl", Facet("0 0 0", "0.075 0 0", "0 0.1 0")), driver), 1);
  EXPECT_EQ(store.triangle(0).v[0].y, 4);
  EXPECT_EQ(store.triangle(0).v[1].x, 3);
  EXPECT_EQ(store.metrics(0).edge[0], 5);
  EXPECT_EQ(store.metrics(0).area_key, 6000);
}

TEST(ReadStlVerticesTest, BoundsAlwaysIncludeTheOrigin) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  Read(store, dir.Write("far.stl", Facet("10 20 30", "11 20 31", "10 21 32")), driver);
  const ModelBounds& b = store.bounds();
  EXPECT_EQ(b.x_min, 0);
  EXPECT_EQ(b.x_max, 440);
  EXPECT_EQ(b.y_min, 0);
  EXPECT_EQ(b.y_max, 840);
  EXPECT_EQ(b.z_min, 0);
}

TEST(ReadStlVerticesTest, WithoutVerticesNothingMoves) {
  TempDir dir;
  for (const std::string& text : {std::string(), std::string("solid a\nendsolid a\n")}) {
    GeometryStore store;
    FakeDriver driver;
    EXPECT_EQ(Read(store, dir.Write("empty.stl", text), driver), 0);
    EXPECT_TRUE(driver.progress.empty());
    EXPECT_EQ(store.bounds().x_max, 0);
  }
}

TEST(ReadStlVerticesTest, StopAfterTheTriangleInProgress) {
  TempDir dir;
  std::string text = Facet("0 0 0", "1 0 0", "0 1 0") + Facet("0 0 0", "5 0 0", "0 5 0");
  GeometryStore store;
  FakeDriver driver;
  driver.on_pass = [&](int) { driver.stop = true; };
  EXPECT_EQ(Read(store, dir.Write("stop.stl", text), driver), 1);
  EXPECT_EQ(store.bounds().x_max, 40);  // the second facet was never read
}

TEST(ReadStlVerticesTest, ProgressCountsBlocksTaken) {
  // Four triangles of exactly 128 bytes each: after triangle k the reader
  // has taken k + 1 of the 4 blocks.
  std::string triangle;
  for (int i = 0; i < 3; ++i) triangle += "vertex 1 2 3" + std::string(20, ' ') + "\n";
  triangle += std::string(128 - triangle.size() - 1, 'x') + "\n";
  ASSERT_EQ(triangle.size(), 128u);
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  std::string text = triangle + triangle + triangle + triangle;
  EXPECT_EQ(Read(store, dir.Write("blocks.stl", text), driver), 4);
  EXPECT_EQ(driver.progress, (std::vector<int>{25, 50, 75, 100}));
  // The last triangle before the last block: the bar never reaches 100.
  EXPECT_EQ(Read(store, dir.Write("tail.stl", text + std::string(200, 'x')), driver), 4);
  EXPECT_EQ(driver.progress, (std::vector<int>{25, 50, 75, 100, 20, 40, 60, 80}));
}

TEST(ReadStlVerticesTest, TinyFileGrowsTheTables) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  // Under 128 bytes: no rows by the file size, no progress quotient.
  EXPECT_EQ(
      Read(store, dir.Write("tiny.stl", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"), driver), 1);
  EXPECT_EQ(driver.progress, std::vector<int>{0});
  std::string many;
  for (int i = 0; i < 1000; ++i)
    many += "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 " + std::to_string(i) + "\n";
  EXPECT_EQ(Read(store, dir.Write("short.stl", many), driver), 1000);
  EXPECT_EQ(store.triangle(999).v[0].z, 39960);
}

TEST(ReadStlVerticesTest, LineEndsOfEveryKind) {
  TempDir dir;
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (const std::string& end : ends) {
    GeometryStore store;
    FakeDriver driver;
    std::string text = "solid a" + end + "vertex 0 0 0" + end + "vertex 1 0 0" + end +
                       "vertex 0 1 0" + end + "endsolid a";
    EXPECT_EQ(Read(store, dir.Write("ends.stl", text), driver), 1) << int(end.back());
  }
}

TEST(ReadStlVerticesTest, CtrlZAtALineStartEndsTheInput) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  std::string text = Facet("0 0 0", "1 0 0", "0 1 0") + "\x1a" + Facet("0 0 0", "9 0 0", "0 9 0");
  EXPECT_EQ(Read(store, dir.Write("eof.stl", text), driver), 1);
}

TEST(ReadStlVerticesTest, ErrorsLeaveEarlierRows) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  std::string text = Facet("0 0 0", "1 0 0", "0 1 0") + "vertex 7 x 0\n";
  EXPECT_THROW(Read(store, dir.Write("half.stl", text), driver), EConvertError);
  EXPECT_EQ(store.triangle(0).v[0].y, 40);
  EXPECT_EQ(store.triangle(1).v[0].x, 280);  // x of the failing vertex was stored
  EXPECT_EQ(store.bounds().x_max, 40);
}

TEST(ReadStlVerticesTest, MissingFile) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  try {
    Read(store, dir.File("nothing.stl"), driver);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.code(), 2);
    EXPECT_EQ(e.message(), "ファイルが見つかりません");
  }
}

// Lines whose first word is "vertex" in any case, counted independently of
// the reader.
int CountVertexLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int count = 0;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find_first_of("\r\n", start);
    if (end == std::string::npos) end = all.size();
    std::size_t p = start;
    while (p < end && (all[p] == ' ' || all[p] == '\t')) ++p;
    std::string word = all.substr(p, std::min<std::size_t>(6, end - p));
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "vertex") ++count;
    start = end + 1;
  }
  return count;
}

TEST(ReadStlVerticesTest, EveryCorpusFileReads) {
  const auto files = testing::CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  GeometryStore store;  // one store for all, as in the program
  for (const auto& file : files) {
    FakeDriver driver;
    EXPECT_EQ(Read(store, file.string(), driver), CountVertexLines(file.string()) / 3)
        << file.filename();
    if (!driver.progress.empty()) {
      EXPECT_LE(driver.progress.back(), 100) << file.filename();
    }
  }
}

}  // namespace
}  // namespace pelmoro

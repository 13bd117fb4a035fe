// Reading with a shift (--shift): every coordinate is the grid value of its
// unshifted text less the shift, on the fast and the general path, in ASCII
// and binary files, and the automatic shift is the lower-left corner
// rounded down to a whole 1,000 of the unit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/read/auto_shift.h"
#include "engine/read/model_extent.h"
#include "engine/read/stl_model_reader.h"
#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "tests/support/fake_driver.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

struct ShiftCase {
  const char* label;
  std::string x, y;  // the first vertex's texts
  int units;
  GridShift shift;
};

void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.label; }

// The grid value the unshifted reading makes of a text, before its range
// test: the general reader's ParseReal and truncation, in 64 bits.
std::int64_t UnshiftedGridValue(const std::string& text, int units) {
  return ToWideGridUnits(ParseReal(text, '.'), units, [&] { return text; });
}

std::string OneTriangle(const std::string& x, const std::string& y) {
  return "solid t\nfacet normal 0 0 1\nouter loop\nvertex " + x + " " + y + " 1\nvertex " + x +
         " " + y + " 2\nvertex " + x + " " + y + " 3\nendloop\nendfacet\nendsolid t\n";
}

class ShiftedReadingTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftedReadingTest, IsTheUnshiftedGridValueLessTheShift) {
  const ShiftCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.Write("m.stl", OneTriangle(c.x, c.y));
  for (const int threads : {1, 2}) {
    GeometryStore store;
    store.ResetBounds();
    FakeDriver driver;
    const StlReading reading =
        ReadStlModel(store, path, driver, c.units, threads, ShiftRequest{false, c.shift});
    ASSERT_EQ(reading.triangles, 1);
    EXPECT_EQ(reading.shift, c.shift);
    const Vertex& v = store.triangle(0).v[0];
    EXPECT_EQ(v.x, UnshiftedGridValue(c.x, c.units) - c.shift.x) << threads;
    EXPECT_EQ(v.y, UnshiftedGridValue(c.y, c.units) - c.shift.y) << threads;
    // z is never shifted.
    const Triangle& t = store.triangle(0);
    EXPECT_EQ(std::int64_t{t.v[0].z} + t.v[1].z + t.v[2].z, 6 * c.units);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShiftedReadingTest,
    ::testing::Values(
        // UTM metres, millions: far outside the unshifted range.
        ShiftCase{"UtmMetres",
                  "433217.3",
                  "5212844.65",
                  40000,
                  {INT64_C(433000) * 40000, INT64_C(5212000) * 40000}},
        // Halves of a grid unit round up as unshifted: 0.0125 mm is half of one.
        ShiftCase{"HalfGridUnitMillimetres",
                  "1000000.0125",
                  "-2000000.0125",
                  40,
                  {INT64_C(1000000) * 40, INT64_C(-2000001) * 40}},
        // More than 19 digits: the general path, the same arithmetic.
        ShiftCase{"LongTextGeneralPath",
                  "433217.30000000000000000001",
                  "5212844.6500000000000000001",
                  40000,
                  {INT64_C(433000) * 40000, INT64_C(5212000) * 40000}},
        ShiftCase{"ExponentText",
                  "4.332173E5",
                  "5.21284465e+06",
                  40000,
                  {INT64_C(433000) * 40000, INT64_C(5212000) * 40000}},
        // Inches: a shift that is no whole 1,000 of the unit but whole grid units.
        ShiftCase{
            "InchesOddShift", "17055785.25", "0.5", 1016, {INT64_C(17055785) * 1016 + 254, 0}},
        // Within the range anyway: the same as the plain reading less the shift.
        ShiftCase{"NearTheOrigin", "12.345", "-0.001", 40, {400, -40}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ShiftedReadingTest, BinaryFloatsAreShiftedAsTheirGridValues) {
  TempDir dir;
  const float x = 433217.3f, y = 5212844.5f;
  const std::string path = dir.Write("m.stl", BinaryStl({{x, y, 1, x + 1, y, 1, x, y + 1, 2}}));
  GeometryStore store;
  store.ResetBounds();
  FakeDriver driver;
  const GridShift shift{INT64_C(433000) * 40000, INT64_C(5212000) * 40000};
  ReadStlModel(store, path, driver, 40000, 1, ShiftRequest{false, shift});
  std::int64_t xs[3], ys[3];
  for (int k = 0; k < 3; ++k) {
    xs[k] = store.triangle(0).v[k].x;
    ys[k] = store.triangle(0).v[k].y;
  }
  // Vertices are ordered by y, largest first: (x, y + 1) leads.
  EXPECT_EQ(ys[0], TruncateReal(static_cast<Real>(y + 1) * 40000 + 0.5L) - shift.y);
  EXPECT_EQ(xs[0], TruncateReal(static_cast<Real>(x) * 40000 + 0.5L) - shift.x);
}

TEST(ShiftedReadingTest, OutsideTheShiftedRangeIsRefusedNamingTheText) {
  TempDir dir;
  const std::string path = dir.Write("m.stl", OneTriangle("433217.3", "90000"));
  GeometryStore store;
  store.ResetBounds();
  FakeDriver driver;
  try {
    ReadStlModel(store, path, driver, 40000, 1,
                 ShiftRequest{false, {INT64_C(433000) * 40000, INT64_C(1000) * 40000}});
    FAIL() << "read";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.message(),
              "'90000' is outside the coordinate range of -53687.09 to 53687.09 m around the "
              "shifted origin (--shift)");
  }
}

struct AutoCase {
  const char* label;
  std::string model;
  int units;
  GridShift shift;  // the corner rounded down
  Vertex corner;    // the lowest x and y after the shift
};

void PrintTo(const AutoCase& c, std::ostream* os) { *os << c.label; }

class AutoShiftTest : public ::testing::TestWithParam<AutoCase> {};

TEST_P(AutoShiftTest, IsTheCornerRoundedDownAndMovesTheStoreExactly) {
  const AutoCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.Write("m.stl", c.model);
  GeometryStore store;
  store.ResetBounds();
  FakeDriver driver;
  const StlReading reading = ReadStlModel(store, path, driver, c.units, 1, ShiftRequest{true, {}});
  EXPECT_EQ(reading.shift, c.shift);
  const ModelExtent extent = MeasureModelExtent(store, reading.triangles);
  EXPECT_EQ(extent.min.x, c.corner.x);
  EXPECT_EQ(extent.min.y, c.corner.y);
  EXPECT_EQ(store.bounds().x_min, 0);
  EXPECT_EQ(store.bounds().x_max, extent.max.x);
  EXPECT_EQ(store.bounds().y_max, extent.max.y);
  // The same store as a reading with that shift given.
  GeometryStore given;
  given.ResetBounds();
  ReadStlModel(given, path, driver, c.units, 1, ShiftRequest{false, c.shift});
  for (std::int32_t t = 0; t < reading.triangles; ++t) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(store.triangle(t).v[k].x, given.triangle(t).v[k].x);
      EXPECT_EQ(store.triangle(t).v[k].y, given.triangle(t).v[k].y);
      EXPECT_EQ(store.triangle(t).v[k].z, given.triangle(t).v[k].z);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, AutoShiftTest,
    ::testing::Values(
        // The first vertex is the top right: the corner is 2 km left and below.
        AutoCase{"FirstVertexTopRight",
                 "vertex 434999.5 5213999.5 1\nvertex 433217.3 5212044.65 2\n"
                 "vertex 434000 5212500 3\n",
                 40000,
                 {INT64_C(433000) * 40000, INT64_C(5212000) * 40000},
                 {217 * 40000 + 12000, 44 * 40000 + 26000, 0}},
        // Negative coordinates round down, away from zero. (The reading
        // truncates k + 0.5 toward zero: -60010 becomes -60009.)
        AutoCase{"NegativeMillimetres",
                 "vertex -1500.25 -0.5 0\nvertex -10 20 0\nvertex 30 -999.5 0\n",
                 40,
                 {-2000 * 40, -1000 * 40},
                 {80000 - 60009, 40000 - 39979, 0}},
        AutoCase{
            "BinaryMetres",
            BinaryStl({{512000.5f, 4100000.f, 3, 512001.5f, 4100001.f, 3, 512000.f, 4100002.f, 4}}),
            40000,
            {INT64_C(512000) * 40000, INT64_C(4100000) * 40000},
            {0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AutoShiftTest, RoundsDownToAWholeThousandOfTheUnit) {
  EXPECT_EQ(RoundDownToThousand(0, 40), 0);
  EXPECT_EQ(RoundDownToThousand(39999, 40), 0);
  EXPECT_EQ(RoundDownToThousand(40000, 40), 40000);
  EXPECT_EQ(RoundDownToThousand(-1, 40), -40000);
  EXPECT_EQ(RoundDownToThousand(INT64_C(433217) * 40000, 40000), INT64_C(433000) * 40000);
}

}  // namespace
}  // namespace pelmoro::testing

#include "engine/read/binary_stl_reader.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/read/grid_units.h"
#include "engine/read/stl_format.h"
#include "engine/read/stl_reader.h"
#include "engine/triangle_metrics.h"
#include "foundation/errors.h"
#include "tests/support/fake_driver.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::AsciiStl;
using testing::BinaryStl;
using testing::FakeDriver;
using testing::FloatTriangle;
using testing::TempDir;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::int32_t ReadBinary(GeometryStore& store, const std::string& path, FakeDriver& driver,
                        int units = kGridUnitsPerMillimetre) {
  store.ResetBounds();
  return ReadBinaryStlVertices(store, path, driver, units);
}

// One coordinate, the x of a triangle's first vertex, into grid units.
struct CoordinateCase {
  std::string name;
  float value;
  int units;
  std::int32_t expected;
};

class BinaryCoordinateTest : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(BinaryCoordinateTest, ConvertsAsTheAsciiReader) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const CoordinateCase& c = GetParam();
  // The other vertices lie at y = 1 and 2 mm, so the first stays last.
  const std::string path = dir.Write("one.stl", BinaryStl({{c.value, -5, 0, 0, 1, 0, 0, 2, 0}}));
  ASSERT_EQ(ReadBinary(store, path, driver, c.units), 1);
  EXPECT_EQ(store.triangle(0).v[2].x, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BinaryCoordinateTest,
    ::testing::Values(
        // 0.1f is 0.100000001490116...: 4.00000006 + 0.5 truncates to 4.
        CoordinateCase{"Tenth", 0.1f, 40, 4}, CoordinateCase{"NegativeTenth", -0.1f, 40, -3},
        CoordinateCase{"NegativeTwentieth", -0.05f, 40, -1}, CoordinateCase{"Half", 2.5f, 40, 100},
        CoordinateCase{"Eighth", 0.125f, 40, 5}, CoordinateCase{"Subnormal", 1e-42f, 40, 0},
        // The largest float32 whose grid value fits (floats are 4 apart there).
        CoordinateCase{"LargestBelowRange", 53687088.0f, 40, 2147483520},
        CoordinateCase{"LowestAboveRange", -53687088.0f, 40, -2147483519},
        CoordinateCase{"FeetNearRange", 176138.0f, 12192, 2147474496},
        CoordinateCase{"NegativeSubnormal", -1e-42f, 40, 0},
        // 0.0125f lies just above half a grid unit, its neighbour below.
        CoordinateCase{"JustAboveHalfAUnit", 0.0125f, 40, 1},
        CoordinateCase{"JustBelowHalfAUnit", std::nextafter(0.0125f, 0.0f), 40, 0},
        CoordinateCase{"Centimetres", 1.5f, 400, 600},
        CoordinateCase{"Metres", 0.025f, 40000, 1000}, CoordinateCase{"Inches", 1.0f, 1016, 1016},
        CoordinateCase{"Feet", -0.5f, 12192, -6095}),
    [](const auto& info) { return info.param.name; });

struct BinaryErrorCase {
  std::string name;
  std::vector<FloatTriangle> triangles;
  int units;
  std::string message;
};

class BinaryErrorTest : public ::testing::TestWithParam<BinaryErrorCase> {};

TEST_P(BinaryErrorTest, NamesTheTriangleAndField) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const std::string path = dir.Write("bad.stl", BinaryStl(GetParam().triangles, "solid bad"));
  std::feclearexcept(FE_ALL_EXCEPT);
  try {
    ReadBinary(store, path, driver, GetParam().units);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), GetParam().message);
  }
  // Refused values are told apart before any conversion could flag them.
  EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);
}

const FloatTriangle kGood = {0, 0, 0, 1, 0, 0, 0, 1, 0};

INSTANTIATE_TEST_SUITE_P(
    Records, BinaryErrorTest,
    ::testing::Values(
        BinaryErrorCase{"NotANumber",
                        {kGood, {0, 0, 0, 1, kNan, 0, 0, 1, 0}},
                        40,
                        "triangle 2: vertex 2 y is not a number (nan)"},
        BinaryErrorCase{"Infinity",
                        {{0, 0, 0, 1, 0, 0, 0, 1, kInf}},
                        40,
                        "triangle 1: vertex 3 z is not a finite number (inf)"},
        BinaryErrorCase{"MinusInfinity",
                        {kGood, kGood, {-kInf, 0, 0, 1, 0, 0, 0, 1, 0}},
                        40,
                        "triangle 3: vertex 1 x is not a finite number (-inf)"},
        BinaryErrorCase{"BeyondGridRange",
                        {{53687092.0f, 0, 0, 1, 0, 0, 0, 1, 0}},
                        40,
                        "triangle 1: vertex 1 x: '53687092' is outside the coordinate range of "
                        "-53687091 to 53687091 mm"},
        BinaryErrorCase{"FarBeyond",
                        {{0, 0, 0, 1, 0, 0, 0, -3e38f, 0}},
                        40,
                        "triangle 1: vertex 3 y: '-3.00000001e+38' is outside the coordinate "
                        "range of -53687091 to 53687091 mm"},
        BinaryErrorCase{"BeyondInMetres",
                        {{0, 0, 0, 1, 0, 0, 0, 1, 53688.0f}},
                        40000,
                        "triangle 1: vertex 3 z: '53688' is outside the coordinate range of "
                        "-53687.09 to 53687.09 m"}),
    [](const auto& info) { return info.param.name; });

// A model of multiples of 1/8 mm, exact in float32 and in decimal.
std::vector<FloatTriangle> EighthsModel() {
  std::vector<FloatTriangle> model;
  for (int i = 0; i < 40; ++i) {
    const float a = static_cast<float>(i % 7) * 0.125f - 0.375f;
    const float b = static_cast<float>(i % 5) * 1.625f;
    model.push_back({a, b, 0.25f * i, a + 3.5f, b - 0.875f, 2.0f, a - 1.125f, b + 2.5f, -0.625f});
  }
  return model;
}

// Every coordinate of many random triangles, in every unit: the value
// TruncateReal(v * units + 0.5) in extended precision gives, whether the
// reader settles it in double precision or not. Values cluster near
// halves of a grid unit, where the two would part if the settling were
// careless.
TEST(ReadBinaryStlVerticesTest, EveryCoordinateAsExtendedArithmeticGivesIt) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> spread(-2000, 2000);
  std::uniform_int_distribution<int> ulps(-3, 3);
  std::uniform_int_distribution<int> exponents(-149, 7);
  for (const int units : {40, 400, 40000, 1016, 12192}) {
    std::vector<FloatTriangle> triangles(3000);
    for (FloatTriangle& t : triangles) {
      for (float& v : t) {
        const double half = (std::floor(spread(random) * units) + 0.5) / units;  // near a half
        switch (random() % 3) {
          case 0:
            v = static_cast<float>(spread(random) / (units / 40.0));
            break;
          case 1:
            v = std::nextafter(static_cast<float>(half), ulps(random) > 0 ? 1e9f : -1e9f);
            break;
          default:  // any exponent, subnormals included, up to the grid range
            v = std::ldexp(static_cast<float>(random() % (1 << 24)), exponents(random)) *
                (random() % 2 ? 1.0f : -1.0f);
            if (std::fabs(static_cast<double>(v) * units) >= 2147483647.0) v = 0;
        }
      }
    }
    TempDir dir;
    GeometryStore store;
    FakeDriver driver;
    const auto count = ReadBinary(store, dir.Write("r.stl", BinaryStl(triangles)), driver, units);
    ASSERT_EQ(count, static_cast<std::int32_t>(triangles.size()));
    for (std::size_t i = 0; i < triangles.size(); ++i) {
      Triangle expected;
      for (int k = 0; k < 3; ++k) {
        std::int32_t* fields[3] = {&expected.v[k].x, &expected.v[k].y, &expected.v[k].z};
        for (int f = 0; f < 3; ++f) {
          *fields[f] = ToGridUnits(static_cast<Real>(triangles[i][3 * k + f]), "", units);
        }
      }
      OrderTriangleVertices(expected);
      ASSERT_EQ(0, std::memcmp(&expected, &store.triangle(i), sizeof expected))
          << "triangle " << i << " in units of 1/" << units << " mm";
    }
  }
}

TEST(ReadBinaryStlVerticesTest, StoresWhatTheAsciiReaderStores) {
  TempDir dir;
  const auto model = EighthsModel();
  GeometryStore ascii, binary;
  FakeDriver a, b;
  ascii.ResetBounds();
  ASSERT_EQ(ReadStlVertices(ascii, dir.Write("a.stl", AsciiStl(model)), a), 40);
  ASSERT_EQ(ReadBinary(binary, dir.Write("b.stl", BinaryStl(model)), b), 40);
  for (std::size_t t = 0; t < model.size(); ++t) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(ascii.triangle(t).v[k].x, binary.triangle(t).v[k].x) << t;
      EXPECT_EQ(ascii.triangle(t).v[k].y, binary.triangle(t).v[k].y) << t;
      EXPECT_EQ(ascii.triangle(t).v[k].z, binary.triangle(t).v[k].z) << t;
    }
    EXPECT_EQ(ascii.metrics(t).area_key, binary.metrics(t).area_key) << t;
  }
  EXPECT_EQ(ascii.bounds().x_min, binary.bounds().x_min);
  EXPECT_EQ(ascii.bounds().y_max, binary.bounds().y_max);
  EXPECT_EQ(ascii.bounds().z_min, binary.bounds().z_min);
  EXPECT_EQ(binary.bounds().z_min, -24);  // -0.625 mm: -25 + 0.5 truncates to -24
}

TEST(ReadBinaryStlVerticesTest, ProgressCountsBlocksTaken) {
  // 84 + 50 * 10 = 584 bytes, 4 whole blocks; after triangle k the reader
  // has taken 84 + 50 k bytes, rounded up to a block, at most the file.
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const std::vector<FloatTriangle> ten(10, kGood);
  EXPECT_EQ(ReadBinary(store, dir.Write("ten.stl", BinaryStl(ten)), driver), 10);
  EXPECT_EQ(driver.progress, (std::vector<int>{50, 50, 50, 75, 75, 75, 100, 100, 100, 100}));
  EXPECT_EQ(driver.passes, 10);
}

TEST(ReadBinaryStlVerticesTest, StopAfterTheTriangleInProgress) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  driver.on_pass = [&](int) { driver.stop = true; };
  const std::string path = dir.Write("stop.stl", BinaryStl({kGood, {0, 0, 0, 9, 0, 0, 0, 9, 0}}));
  EXPECT_EQ(ReadBinary(store, path, driver), 1);
  EXPECT_EQ(store.bounds().x_max, 40);  // the second triangle was never read
  // Nor is a refused one after the stop: the stop wins, as it came first.
  const std::string refused =
      dir.Write("refused.stl", BinaryStl({kGood, {9, 0, 0, kNan, 0, 0, 0, 9, 0}}));
  store.ResetBounds();
  EXPECT_EQ(ReadBinary(store, refused, driver), 1);
  EXPECT_EQ(store.bounds().x_max, 40);
}

TEST(ReadBinaryStlVerticesTest, TablesSizedFromTheHeader) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  EXPECT_EQ(ReadBinary(store, dir.Write("few.stl", BinaryStl({kGood, kGood, kGood})), driver), 3);
  EXPECT_EQ(store.capacity(), 3u);
  EXPECT_EQ(ReadBinary(store, dir.Write("none.stl", BinaryStl({}, "solid")), driver), 0);
  EXPECT_EQ(driver.progress.size(), 3u);  // nothing more for the empty one
}

TEST(ReadBinaryStlVerticesTest, TruncatedFileIsRefusedBeforeAnythingIsStored) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const std::string path = dir.Write("cut.stl", BinaryStl({kGood, kGood}, "", 4'000'000));
  try {
    ReadBinary(store, path, driver);
    FAIL() << "no error";
  } catch (const ETruncatedStl& e) {
    EXPECT_EQ(e.message(),
              "truncated binary STL: the header promises 4000000 triangles, the file holds 2");
  }
  EXPECT_EQ(store.capacity(), 0u);
  EXPECT_TRUE(driver.progress.empty());
}

TEST(ReadBinaryStlVerticesTest, ErrorsLeaveEarlierRows) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const std::string path =
      dir.Write("half.stl", BinaryStl({kGood, {7, 1, 0, kNan, 0, 0, 0, 0, 0}}));
  EXPECT_THROW(ReadBinary(store, path, driver), EConvertError);
  EXPECT_EQ(store.triangle(0).v[0].y, 40);
  EXPECT_EQ(store.triangle(1).v[0].x, 280);  // the vertex before the failing one is stored
  EXPECT_EQ(store.bounds().x_max, 280);
}

}  // namespace
}  // namespace pelmoro

// The images and grids cover the model's extent, or the window asked for,
// on the very points of the height map: a pixel is the map's point at the
// same x and y. When no output needs the whole lattice, only the window is
// scanned.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "run/conversion_run.h"
#include "run/image_lattice.h"
#include "tests/support/fake_driver.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::ReadFileBytes;
using testing::TempDir;

// A relief far from the origin: 10 to 14 mm in x, 20 to 23 mm in y, with a
// peak, and a small triangle apart from it.
const char kModel[] =
    "vertex 10 20 1\nvertex 14 20 2\nvertex 14 23 3\n"
    "vertex 10 20 1\nvertex 14 23 3\nvertex 10 23 5\n"
    "vertex 11 21 1\nvertex 13 21 1\nvertex 12 22 9\n"
    "vertex 16 25 4\nvertex 16.3 25 4\nvertex 16 25.3 4\n";

struct CropCase {
  const char* label;
  std::optional<PlanWindow> window;  // grid units
  int pitch;
  std::int64_t columns, rows;  // of the images
  const char* x_mm;            // their lower-left point
  const char* y_mm;
};

void PrintTo(const CropCase& c, std::ostream* os) { *os << c.label; }

class ImageCropTest : public ::testing::TestWithParam<CropCase> {};

ConversionResult Convert(const std::string& input, const std::string& output,
                         std::vector<OutputRequest> also, const CropCase& c, FakeDriver& driver) {
  GeometryStore store;
  ConversionRequest request{input, output, c.pitch};
  request.format = FormatOfExtension(output).value();
  request.also = std::move(also);
  request.images.window = c.window;
  return RunConversion(store, request, driver);
}

TEST_P(ImageCropTest, PixelsAreTheHeightMapsPointsAtTheSameCoordinates) {
  const CropCase& c = GetParam();
  TempDir dir;
  const std::string input = dir.Write("m.stl", kModel);
  // With the height map: the whole lattice is scanned, the images cropped.
  FakeDriver with_map;
  const ConversionResult both =
      Convert(input, dir.File("m.hzm"),
              {{dir.File("m.png"), OutputFormat::kPng}, {dir.File("m.asc"), OutputFormat::kAsc}}, c,
              with_map);
  EXPECT_EQ(both.images.columns, c.columns);
  EXPECT_EQ(both.images.rows, c.rows);
  const auto points = testing::ParseHzm(ReadFileBytes(dir.File("m.hzm")));
  ASSERT_EQ(static_cast<std::int64_t>(points.size()), both.lattice.points());
  const testing::DecodedPng png = testing::DecodePng(dir.File("m.png"));
  EXPECT_EQ(png.width, c.columns);
  EXPECT_EQ(png.height, c.rows);
  EXPECT_EQ(png.texts.at("x_mm"), c.x_mm);
  EXPECT_EQ(png.texts.at("y_mm"), c.y_mm);
  EXPECT_EQ(testing::PngAgainstHzm(png, points), "same");
  const std::string grid_text = ReadFileBytes(dir.File("m.asc"));
  EXPECT_EQ(testing::AscAgainstHzm(testing::ParseAsc(grid_text), points), "same");

  // Without it: only the window is scanned, and the files are the same.
  FakeDriver alone;
  const ConversionResult images =
      Convert(input, dir.File("n.png"), {{dir.File("n.asc"), OutputFormat::kAsc}}, c, alone);
  EXPECT_EQ(images.lattice, both.images);
  ASSERT_EQ(alone.phases.size(), 3u);
  EXPECT_EQ(alone.phases[1].second, c.rows);  // the rows scanned
  const testing::DecodedPng alone_png = testing::DecodePng(dir.File("n.png"));
  EXPECT_EQ(alone_png.pixels, png.pixels);
  EXPECT_EQ(alone_png.texts, png.texts);
  EXPECT_EQ(ReadFileBytes(dir.File("n.asc")), grid_text);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ImageCropTest,
    ::testing::Values(
        // 10..16.3 mm at 0.5 mm: 13 columns from 10; 20..25.3: 11 rows.
        CropCase{"ModelsExtent", std::nullopt, 20, 13, 11, "10", "20"},
        // At 0.3 mm from 0: the first points at or past 10 and 20 mm are
        // 10.2 and 20.1; the last before 16.3 and 25.3 are 16.2 and 25.2.
        CropCase{"ExtentOffTheLines", std::nullopt, 12, 21, 18, "10.2", "20.1"},
        CropCase{"WindowInside", PlanWindow{440, 820, 520, 900}, 20, 5, 5, "11", "20.5"},
        // From -1 mm, below and left of the lattice, to 17 x 26 mm.
        CropCase{"WindowBeyondTheLattice", PlanWindow{-40, -40, 680, 1040}, 20, 37, 55, "-1", "-1"},
        CropCase{"WindowAboveTheModel", PlanWindow{800, 1200, 880, 1280}, 20, 5, 5, "20", "30"},
        // Edges between lattice lines: the points within.
        CropCase{"WindowBetweenLines", PlanWindow{401, 801, 479, 879}, 20, 3, 3, "10.5", "20.5"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ImageLatticeTest, RefusesAWindowWithoutAPoint) {
  Lattice whole;
  whole.pitch = 20;
  whole.columns = whole.rows = 10;
  EXPECT_THROW(ImageLattice(whole, ModelExtent{}, PlanWindow{1, 1, 19, 19}), Exception);
  EXPECT_THROW(ImageLattice(whole, ModelExtent{}, PlanWindow{0, 0, 20, std::int64_t{1} << 40}),
               Exception);
  const Lattice one = ImageLattice(whole, ModelExtent{}, PlanWindow{1, 1, 20, 20});
  EXPECT_EQ(one.columns * one.rows, 1);
  EXPECT_EQ(one.x_min, 20);
}

}  // namespace
}  // namespace pelmoro

namespace pelmoro {
namespace {

// The largest pitch giving at least the points asked for, over the model's
// extent (10 to 16.3 mm by 20 to 25.3 mm, as kModel) or a window.
struct PointsCase {
  const char* label;
  std::int64_t width_px, height_px;
  std::optional<PlanWindow> window;
  int pitch;
};

void PrintTo(const PointsCase& c, std::ostream* os) { *os << c.label; }

class PitchForPointsTest : public ::testing::TestWithParam<PointsCase> {};

TEST_P(PitchForPointsTest, IsTheLargestGivingEnoughPoints) {
  const PointsCase& c = GetParam();
  const ModelBounds bounds{0, 652, 0, 1012, 0};
  ModelExtent extent;
  extent.empty = false;
  extent.min = {400, 800, 40};
  extent.max = {652, 1012, 360};
  ImageSettings settings;
  settings.width_px = c.width_px;
  settings.height_px = c.height_px;
  settings.window = c.window;
  const int pitch = PitchForPoints(bounds, extent, settings);
  EXPECT_EQ(pitch, c.pitch);
  const auto columns = [&](int p) {
    return ImageLattice(LatticeOver(bounds, p), extent, c.window).columns;
  };
  const auto rows = [&](int p) {
    return ImageLattice(LatticeOver(bounds, p), extent, c.window).rows;
  };
  EXPECT_GE(columns(pitch), c.width_px);
  EXPECT_GE(rows(pitch), c.height_px);
  if (pitch < 255) {
    EXPECT_TRUE(columns(pitch + 1) < c.width_px || rows(pitch + 1) < c.height_px);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PitchForPointsTest,
                         ::testing::Values(
                             // 252 units across: floor(252 / p) + 1 >= 100 first at p = 2.
                             PointsCase{"Width", 100, 0, std::nullopt, 2},
                             // 400 / 4 = 100 lines: 64 points fit at p = 4 (400..652: 64).
                             PointsCase{"WidthOnTheLines", 64, 0, std::nullopt, 4},
                             // 212 units up: 11 points at p = 20 (800..1000).
                             PointsCase{"Height", 0, 11, std::nullopt, 20},
                             PointsCase{"BothTheStricterWins", 10, 50, std::nullopt, 4},
                             PointsCase{"OnePointAnyPitch", 1, 1, std::nullopt, 255},
                             PointsCase{"Window", 41, 0, PlanWindow{0, 0, 4000, 100}, 100}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PitchForPointsTest, RefusesMorePointsThanTheFinestPitchGives) {
  ModelExtent extent;
  extent.empty = false;
  extent.max = {40, 40, 0};
  ImageSettings settings;
  settings.width_px = 42;
  try {
    PitchForPoints(ModelBounds{0, 40, 0, 40, 0}, extent, settings);
    ADD_FAILURE() << "not refused";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(),
              "more points were asked for than the finest pitch (0.025 mm) gives: 41 x 41");
  }
}

}  // namespace
}  // namespace pelmoro

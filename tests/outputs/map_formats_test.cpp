// The pieces of the extra outputs that have rules of their own: grid units
// as millimetres, heights as pixel values, the heights kept for the
// reversed row order, the fan-out's slices of texts, the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "engine/scan/height_map_scan.h"
#include "outputs/formats/fan_out_sink.h"
#include "outputs/formats/grid_millimetres.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/png_output.h"
#include "outputs/formats/relief_preview.h"
#include "tests/support/fake_driver.h"
#include "tests/support/recording_sink.h"
#include "tests/support/special_env.h"
#include "tests/support/store_builder.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

struct MillimetreCase {
  std::int64_t units;
  const char* text;
};

void PrintTo(const MillimetreCase& c, std::ostream* os) { *os << c.units; }

class MillimetresTest : public ::testing::TestWithParam<MillimetreCase> {};

TEST_P(MillimetresTest, IsTheExactDecimalWithoutTrailingZeros) {
  EXPECT_EQ(FormatMillimetres(GetParam().units), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, MillimetresTest,
    ::testing::Values(MillimetreCase{0, "0"}, MillimetreCase{1, "0.025"}, MillimetreCase{2, "0.05"},
                      MillimetreCase{4, "0.1"}, MillimetreCase{20, "0.5"}, MillimetreCase{40, "1"},
                      MillimetreCase{41, "1.025"}, MillimetreCase{400, "10"},
                      MillimetreCase{-1, "-0.025"}, MillimetreCase{-20, "-0.5"},
                      MillimetreCase{-4000, "-100"}, MillimetreCase{65535, "1638.375"},
                      MillimetreCase{std::numeric_limits<std::int32_t>::max(), "53687091.175"},
                      MillimetreCase{std::numeric_limits<std::int32_t>::min(), "-53687091.2"},
                      // z_low + 65535 for the highest z_low a map can have
                      MillimetreCase{std::int64_t{2147483647} + 65535, "53688729.55"}));

// k * 25 thousandths with the point put in three digits from the end.
std::string ThousandthsText(std::int64_t k) {
  std::string digits = std::to_string(k < 0 ? -k * 25 : k * 25);
  digits.insert(0, 4 - std::min<std::size_t>(digits.size(), 4), '0');
  std::string text = digits.substr(0, digits.size() - 3) + "." + digits.substr(digits.size() - 3);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return (k < 0 ? "-" : "") + text;
}

TEST(MillimetresTest, AgreesWithThousandthsAcrossTheRange) {
  for (std::int64_t k = -200; k <= 200; ++k) EXPECT_EQ(FormatMillimetres(k), ThousandthsText(k));
  // Every fraction at whole parts on both sides of 2^31 mm and near 2^58 / 40.
  for (const std::int64_t base : {std::int64_t{2147483647} * 40, (std::int64_t{1} << 58) - 80}) {
    for (std::int64_t k = base - 40; k <= base + 40; ++k) {
      EXPECT_EQ(FormatMillimetres(k), ThousandthsText(k));
      EXPECT_EQ(FormatMillimetres(-k), ThousandthsText(-k));
    }
  }
}

TEST(MillimetresTest, LongestThirtyTwoBitTextFitsItsBound) {
  EXPECT_EQ(FormatMillimetres(-2147483647).size(), static_cast<std::size_t>(kLongestMillimetres));
}

constexpr ImageSettings kFull16{};
constexpr ImageSettings kUnits16{PngLevels::kUnits, 16};
constexpr ImageSettings kFull8{PngLevels::kFullRange, 8};
constexpr ImageSettings kUnits8{PngLevels::kUnits, 8};
ImageSettings Inverted(ImageSettings settings) {
  settings.invert = true;
  return settings;
}

struct PixelCase {
  const char* label;
  ImageSettings settings;
  std::int32_t low, high, z;
  std::uint32_t pixel;
  std::int64_t height_at_top;  // what the largest pixel value stands for
};

void PrintTo(const PixelCase& c, std::ostream* os) { *os << c.label; }

class PixelScaleTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelScaleTest, FollowsTheLevelsRule) {
  const PixelCase& c = GetParam();
  const PixelScale scale = PixelScaleFor(c.low, c.high, c.settings);
  EXPECT_EQ(scale.PixelOf(c.z), c.pixel);
  EXPECT_EQ(scale.HeightAtTop(), c.height_at_top);
}

constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Heights, PixelScaleTest,
    ::testing::Values(
        // Full range: 0 the lowest height, 65535 the highest.
        PixelCase{"LevelMapIsAllZero", kFull16, 7, 7, 7, 0, 7},
        PixelCase{"LowestIsZero", kFull16, -100, 50, -100, 0, 50},
        PixelCase{"HighestIsTop", kFull16, -100, 50, 50, 65535, 50},
        // 100 * 65535 / 150 = 43690
        PixelCase{"BetweenIsScaled", kFull16, -100, 50, 0, 43690, 50},
        // 1 * 65535 / 2 = 32767.5: half rounds up
        PixelCase{"HalfRoundsUp", kFull16, 0, 2, 1, 32768, 2},
        // 1 * 65535 / 131070 = 0.5 and 3 * 65535 / 131070 = 1.5
        PixelCase{"DoubleRangeHalf", kFull16, 10, 131080, 11, 1, 131080},
        PixelCase{"DoubleRangeOneAndAHalf", kFull16, 10, 131080, 13, 2, 131080},
        PixelCase{"DoubleRangeJustBelowHalf", kFull16, 0, 131071, 1, 0, 131071},
        PixelCase{"WidestRangeTop", kFull16, kLowest, kHighest, kHighest, 65535, kHighest},
        PixelCase{"WidestRangeMiddle", kFull16, kLowest, kHighest, 0, 32768, kHighest},
        // 8 bits: 255 the highest; 1 * 255 / 2 = 127.5 rounds up.
        PixelCase{"EightBitTop", kFull8, 0, 600, 600, 255, 600},
        PixelCase{"EightBitHalfRoundsUp", kFull8, 0, 2, 1, 128, 2},
        PixelCase{"EightBitLevelMap", kFull8, 3, 3, 3, 0, 3},
        // One level per unit: pixel = z - z low, the top stands for z low +
        // 65535 (or 255).
        PixelCase{"UnitsLevelMap", kUnits16, 7, 7, 7, 0, 7 + 65535},
        PixelCase{"UnitsOffsetFromTheLowest", kUnits16, -100, 50, 0, 100, -100 + 65535},
        PixelCase{"UnitsRangeJustFits", kUnits16, 0, 65535, 65535, 65535, 65535},
        PixelCase{"UnitsEightBitsJustFits", kUnits8, 10, 265, 265, 255, 265},
        // Depths: 0 the highest height, the top the lowest.
        PixelCase{"InvertedHighestIsZero", Inverted(kFull16), -100, 50, 50, 0, -100},
        PixelCase{"InvertedLowestIsTop", Inverted(kFull16), -100, 50, -100, 65535, -100},
        // 50 below the highest of 150: 50 * 65535 / 150 = 21845.
        PixelCase{"InvertedBetween", Inverted(kFull16), -100, 50, 0, 21845, -100},
        PixelCase{"InvertedLevelMap", Inverted(kFull8), 3, 3, 3, 0, 3},
        PixelCase{"InvertedUnits", Inverted(kUnits16), 0, 100, 40, 60, 100 - 65535}),
    [](const auto& info) { return std::string(info.param.label); });

struct RefusedRangeCase {
  const char* label;
  ImageSettings settings;
  std::int32_t low, high;
  const char* message;
};

void PrintTo(const RefusedRangeCase& c, std::ostream* os) { *os << c.label; }

class RefusedRangeTest : public ::testing::TestWithParam<RefusedRangeCase> {};

TEST_P(RefusedRangeTest, OneLevelPerUnitCannotHoldTheRange) {
  const RefusedRangeCase& c = GetParam();
  try {
    PixelScaleFor(c.low, c.high, c.settings);
    ADD_FAILURE() << "not refused";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RefusedRangeTest,
    ::testing::Values(
        RefusedRangeCase{"SixteenBitsOneUnitOver", kUnits16, 0, 65536,
                         "the heights span 65536 grid units; a 16-bit PNG with one level per "
                         "grid unit holds at most 65535"},
        RefusedRangeCase{"EightBitsOneUnitOver", kUnits8, -1, 255,
                         "the heights span 256 grid units; a 8-bit PNG with one level per grid "
                         "unit holds at most 255"}),
    [](const auto& info) { return std::string(info.param.label); });

struct HeightRowsCase {
  const char* label;
  std::vector<std::int32_t> heights;  // rows of three
  std::int32_t floor;
  bool in_memory;
  // The system as the heights find it: the machine's memory (0: as it is)
  // and whether a mapping can be had.
  std::uint64_t physical_memory = 0;
  bool maps_fail = false;
};

void PrintTo(const HeightRowsCase& c, std::ostream* os) { *os << c.label; }

class HeightRowsTest : public ::testing::TestWithParam<HeightRowsCase> {};

TEST_P(HeightRowsTest, GivesBackEveryRowWhereverItKeptThem) {
  const HeightRowsCase& c = GetParam();
  testing::SpecialEnv env;
  env.physical_memory = c.physical_memory;
  env.fail_maps = c.maps_fail;
  const EnvOverride system(env);
  testing::TempDir dir;
  HeightRows rows(dir.File("out.png"));
  rows.Start(3, c.floor, static_cast<std::int64_t>(c.heights.size()));
  // In two parts per row, as a wide row comes.
  for (std::size_t k = 0; k < c.heights.size(); k += 3) {
    rows.Append(std::span(c.heights).subspan(k, 1));
    rows.Append(std::span(c.heights).subspan(k + 1, 2));
  }
  EXPECT_EQ(rows.in_memory(), c.in_memory);
  rows.Seal();
  ASSERT_EQ(rows.rows(), static_cast<std::int64_t>(c.heights.size() / 3));
  std::vector<std::int32_t> row;
  for (std::int64_t r = rows.rows() - 1; r >= 0; --r) {
    rows.ReadRow(r, row);
    EXPECT_EQ(row,
              std::vector<std::int32_t>(c.heights.begin() + 3 * r, c.heights.begin() + 3 * r + 3))
        << r;
  }
  EXPECT_EQ(rows.low(), *std::min_element(c.heights.begin(), c.heights.end()));
  EXPECT_EQ(rows.high(), *std::max_element(c.heights.begin(), c.heights.end()));
  // Nothing is left behind in the output's folder.
  EXPECT_TRUE(testing::ListFolder(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, HeightRowsTest,
    ::testing::Values(
        HeightRowsCase{"WithinTheFloorsRange", {-5, 0, 65530, 7, 7, 7}, -5, true},
        HeightRowsCase{"TopOfTheRange", {0, 65535, 1, 2, 3, 4}, 0, true},
        HeightRowsCase{"FirstRowOverTheRange", {0, 65536, 1, 2, 3, 4}, 0, false},
        HeightRowsCase{"LaterRowOverTheRange", {0, 1, 2, 3, 4, 5, 9, 100000, -3}, -3, false},
        HeightRowsCase{"BelowTheFloorSpillsToo", {5, 6, 7, 4, 5, 6}, 5, false},
        HeightRowsCase{
            "MoreThanTheMachineHoldsSpills", {1, 2, 3, 4, 5, 6}, 0, false, /*physical_memory=*/8},
        HeightRowsCase{"NoMemoryToBeHadSpills",
                       {1, 2, 3, 4, 5, 6},
                       0,
                       false,
                       0,
                       /*maps_fail=*/true}),
    [](const auto& info) { return std::string(info.param.label); });

// A sink with no formatters, like the PNG and the preview.
class HeightsOnlySink : public RowSink {
 public:
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override {
    EXPECT_TRUE(texts.empty());
    heights.insert(heights.end(), piece.heights.begin(), piece.heights.end());
  }
  std::vector<std::int32_t> heights;
};

class FanOutTest : public ::testing::TestWithParam<int> {};

TEST_P(FanOutTest, EverySinkGetsTheRowsAndTheTextOfItsOwnFormatters) {
  GeometryStore store;
  const std::int32_t count =
      testing::FillStore(store, {Triangle{{{4, 4, 40}, {84, 4, 40}, {4, 84, 40}}},
                                 Triangle{{{0, 0, 7}, {50, 90, 66}, {90, 10, 21}}}});
  testing::FakeDriver driver;
  testing::RecordingSink alone;
  ScanHeightMap(store, LatticeOver(store.bounds(), 3), count, driver, alone, {GetParam()});

  HeightsOnlySink heights_alone;
  ScanHeightMap(store, LatticeOver(store.bounds(), 3), count, driver, heights_alone, {GetParam()});

  testing::RecordingSink first, last;
  HeightsOnlySink middle;
  FanOutSink fan_out({&first, &middle, &last});
  ASSERT_EQ(fan_out.formatters().size(), 2u);
  EXPECT_EQ(fan_out.formatters()[0], first.formatters()[0]);
  EXPECT_EQ(fan_out.formatters()[1], last.formatters()[0]);
  ScanHeightMap(store, LatticeOver(store.bounds(), 3), count, driver, fan_out, {GetParam()});
  EXPECT_EQ(first.Everything(), alone.Everything());
  EXPECT_EQ(last.Everything(), alone.Everything());
  EXPECT_EQ(middle.heights, heights_alone.heights);
  EXPECT_EQ(middle.heights.size(), 31u * 31u);
}

INSTANTIATE_TEST_SUITE_P(Threads, FanOutTest, ::testing::Values(1, 3));

TEST(FanOutTest, HandsEachSinkItsOwnSliceOfTheTexts) {
  testing::RecordingSink a, b;
  HeightsOnlySink none;
  FanOutSink fan_out({&none, &a, &none, &b});
  const std::int32_t heights[2] = {5, 6};
  const std::vector<RowText> texts{"for a", "for b"};
  fan_out.WritePiece({0, 0, heights, true}, texts);
  EXPECT_EQ(a.rows, std::vector<std::string>{"for a"});
  EXPECT_EQ(b.rows, std::vector<std::string>{"for b"});
  EXPECT_EQ(none.heights, (std::vector<std::int32_t>{5, 6, 5, 6}));
}

struct StepCase {
  std::int64_t columns, rows, step;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.columns << "x" << c.rows; }

class PreviewStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(PreviewStepTest, KeepsTheLongerSideWithin1024) {
  const StepCase& c = GetParam();
  EXPECT_EQ(PreviewStep(c.columns, c.rows), c.step);
  const std::int64_t longer = std::max(c.columns, c.rows);
  EXPECT_LE((longer + c.step - 1) / c.step, kPreviewSide);
  if (c.step > 1) {
    EXPECT_GT((longer + c.step - 2) / (c.step - 1), kPreviewSide);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewStepTest,
                         ::testing::Values(StepCase{3, 3, 1}, StepCase{1024, 7, 1},
                                           StepCase{1025, 7, 2}, StepCase{7, 2048, 2},
                                           StepCase{2049, 2049, 3}, StepCase{4001, 4001, 4},
                                           StepCase{40001, 3, 40}));

// A grid of 5 x 5 heights from a function of (column, row).
template <typename F>
HeightGrid GridOf(F&& z) {
  HeightGrid g{5, 5, 4, {}};
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) g.z.push_back(z(c, r));
  }
  return g;
}

TEST(ShadeReliefTest, LevelGridIsOneGray) {
  const std::vector<std::uint8_t> gray = ShadeRelief(GridOf([](int, int) { return 9; }));
  // 255 * (0.65 * cos 45 degrees + 0.35 * 0.5)
  const auto expected =
      static_cast<std::uint8_t>(std::lround(255 * (0.65 * std::sqrt(0.5) + 0.175)));
  EXPECT_EQ(gray, std::vector<std::uint8_t>(25, expected));
}

struct SlopeCase {
  const char* label;
  int dx, dy;  // rise per column and per row
  bool lit;    // faces the light (upper left)
};

void PrintTo(const SlopeCase& c, std::ostream* os) { *os << c.label; }

class ShadeSlopeTest : public ::testing::TestWithParam<SlopeCase> {};

TEST_P(ShadeSlopeTest, SlopesFacingTheUpperLeftAreLighter) {
  const SlopeCase& c = GetParam();
  const std::vector<std::uint8_t> level = ShadeRelief(GridOf([](int, int) { return 0; }));
  const std::vector<std::uint8_t> slope =
      ShadeRelief(GridOf([&](int col, int row) { return c.dx * col + c.dy * row; }));
  // The middle pixel sits halfway up every slope, so only the shade differs.
  const int middle = 2 * 5 + 2;
  if (c.lit) {
    EXPECT_GT(slope[middle], level[middle]);
  } else {
    EXPECT_LT(slope[middle], level[middle]);
  }
}

INSTANTIATE_TEST_SUITE_P(Slopes, ShadeSlopeTest,
                         ::testing::Values(SlopeCase{"FallingToTheLeft", 2, 0, true},
                                           SlopeCase{"FallingToTheRight", -2, 0, false},
                                           SlopeCase{"FallingToTheTop", 0, -2, true},
                                           SlopeCase{"FallingToTheBottom", 0, 2, false}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ShadeReliefTest, TopRowOfThePictureIsTheHighestY) {
  // One even slope up towards the highest y: the shade is the same all
  // over, so the heights alone make the top row lighter than the bottom.
  const std::vector<std::uint8_t> gray = ShadeRelief(GridOf([](int, int row) { return 3 * row; }));
  EXPECT_GT(gray[0], gray[20]);
  EXPECT_EQ(gray[0], gray[4]);
}

}  // namespace
}  // namespace pelmoro

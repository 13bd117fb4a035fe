// The size of an HZM file, against files the writer really writes: the
// lower bound is exact where every height is one digit and below the file
// where one is not; the count from the heights is always exact.
#include "outputs/formats/hzm_size.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/scan/height_map_scan.h"
#include "foundation/text_file.h"
#include "outputs/formats/fan_out_sink.h"
#include "outputs/formats/hzm_writer.h"
#include "tests/support/fake_driver.h"
#include "tests/support/store_builder.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

struct SizeCase {
  const char* label;
  std::vector<Triangle> triangles;  // grid units
  int pitch;                        // grid units
  bool one_digit_heights;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.label; }

class HzmSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(HzmSizeTest, BoundsAndCountsTheWrittenFile) {
  const SizeCase& c = GetParam();
  GeometryStore store;
  const std::int32_t count = testing::FillStore(store, c.triangles);
  const Lattice lattice = LatticeOver(store.bounds(), c.pitch);
  testing::TempDir dir;
  const std::string path = dir.File("m.hzm");
  TextFile text;
  CreateTextForWriting(text, path);
  CheckIoResult();
  HzmOutput output(text);
  output.Start(lattice, store.bounds());
  HzmByteCounter counter(lattice);
  FanOutSink both({&output, &counter});
  testing::FakeDriver driver;
  ScanHeightMap(store, lattice, count, driver, both);
  CloseText(text);
  CheckIoResult();

  const std::uint64_t size = testing::ReadFileBytes(path).size();
  EXPECT_EQ(counter.bytes(), size);
  if (c.one_digit_heights) {
    EXPECT_EQ(HzmSizeLowerBound(lattice), size);
  } else {
    EXPECT_LT(HzmSizeLowerBound(lattice), size);
  }
}

// Heights of 0 and 4 units are one digit; the lattices cross the lengths of
// x and y texts: 9 to 10, 99 to 100, -1 to -10, -99 to -100.
INSTANTIATE_TEST_SUITE_P(
    Lattices, HzmSizeTest,
    ::testing::Values(
        SizeCase{"OnePoint", {}, 1, true},
        SizeCase{
            "FromZeroPastTwoDigits", {Triangle{{{0, 0, 4}, {120, 0, 4}, {0, 40, 4}}}}, 1, true},
        SizeCase{"NegativePastMinusHundred",
                 {Triangle{{{-120, -20, 0}, {20, -20, 4}, {-120, 12, 4}}}},
                 1,
                 true},
        SizeCase{"NegativeWithAStride",
                 {Triangle{{{-292, -88, 4}, {44, -88, 4}, {-292, 176, 0}}}},
                 7,
                 true},
        SizeCase{"WidePitchPastTenThousand",
                 {Triangle{{{0, 0, 0}, {12000, 0, 0}, {0, 1200, 4}}}},
                 255,
                 true},
        SizeCase{"TallerThanWide", {Triangle{{{0, 0, 0}, {20, 0, 0}, {0, 1600, 4}}}}, 3, true},
        SizeCase{"TwoDigitHeights", {Triangle{{{0, 0, 80}, {120, 0, 80}, {0, 120, 80}}}}, 4, false},
        SizeCase{"BelowZeroAndTall",
                 {Triangle{{{-50, -50, -3000}, {90, -50, 120000}, {-50, 70, 55}}}},
                 2,
                 false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro

// The lower bound of an HZM file's size, against real conversions: exact
// where every height is one digit, below the file where one is not.
#include "heightmap/hzm_size.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "run/conversion_run.h"
#include "tests/support/fake_driver.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::FakeDriver;
using testing::ReadFileBytes;
using testing::TempDir;

struct SizeCase {
  const char* label;
  const char* stl;  // vertices in millimetres
  int pitch;        // grid units
  bool one_digit_heights;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.label; }

class HzmSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(HzmSizeTest, BoundsTheSizeOfTheConvertedFile) {
  TempDir dir;
  GeometryStore store;
  FakeDriver driver;
  const ConversionRequest request{dir.Write("m.stl", GetParam().stl), dir.File("m.hzm"),
                                  GetParam().pitch};
  const ConversionResult result = RunConversion(store, request, driver);
  const std::uint64_t size = ReadFileBytes(request.output).size();
  if (GetParam().one_digit_heights) {
    EXPECT_EQ(HzmSizeLowerBound(result.lattice), size);
  } else {
    EXPECT_LT(HzmSizeLowerBound(result.lattice), size);
  }
}

// Heights of 0 and 0.1 mm (4 units) are one digit; the lattices cross the
// lengths of x and y texts: 9 to 10, 99 to 100, -1 to -10, -99 to -100.
INSTANTIATE_TEST_SUITE_P(
    Lattices, HzmSizeTest,
    ::testing::Values(
        SizeCase{"OnePoint", "solid empty\nendsolid empty\n", 1, true},
        SizeCase{"FromZeroPastTwoDigits", "vertex 0 0 0.1\nvertex 3 0 0.1\nvertex 0 1 0.1\n", 1,
                 true},
        SizeCase{"NegativePastMinusHundred",
                 "vertex -3 -0.5 0\nvertex 0.5 -0.5 0.1\nvertex -3 0.3 0.1\n", 1, true},
        SizeCase{"NegativeWithAStride",
                 "vertex -7.3 -2.2 0.1\nvertex 1.1 -2.2 0.1\nvertex -7.3 4.4 0\n", 7, true},
        SizeCase{"WidePitchPastTenThousand",
                 "vertex 0 0 0\nvertex 300 0 0\nvertex 0 30 0.1\n", 255, true},
        SizeCase{"TallerThanWide", "vertex 0 0 0\nvertex 0.5 0 0\nvertex 0 40 0.1\n", 3, true},
        SizeCase{"TwoDigitHeights", "vertex 0 0 2\nvertex 3 0 2\nvertex 0 3 2\n", 4, false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro

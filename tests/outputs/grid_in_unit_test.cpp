// Grid units written in the model's unit, for the grids: exact decimals
// where the unit allows, else the shortest rounding that tells every grid
// unit apart.
#include "outputs/formats/grid_in_unit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "outputs/formats/grid_millimetres.h"

namespace pelmoro {
namespace {

struct InUnitCase {
  const char* label;
  std::int64_t k;
  int units;
  const char* text;
};

void PrintTo(const InUnitCase& c, std::ostream* os) { *os << c.label; }

class FormatInUnitTest : public ::testing::TestWithParam<InUnitCase> {};

TEST_P(FormatInUnitTest, WritesTheValueInTheUnit) {
  EXPECT_EQ(FormatInUnit(GetParam().k, GetParam().units), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatInUnitTest,
                         ::testing::Values(InUnitCase{"MillimetreUnit", 1, 40, "0.025"},
                                           InUnitCase{"MillimetreNegativeHalf", -20, 40, "-0.5"},
                                           InUnitCase{"MetreOneGridUnit", 1, 40000, "0.000025"},
                                           InUnitCase{"MetreWhole", 80000, 40000, "2"},
                                           InUnitCase{"MetreNegative", -60000, 40000, "-1.5"},
                                           InUnitCase{"CentimetreOneGridUnit", 1, 400, "0.0025"},
                                           InUnitCase{"Zero", 0, 40000, "0"},
                                           // 1 / 1016 in = 0.000984..., to 4 places.
                                           InUnitCase{"InchOneGridUnitRounds", 1, 1016, "0.001"},
                                           InUnitCase{"InchHalf", 508, 1016, "0.5"},
                                           // -1 / 1016 = -0.000984: half up gives -0.001.
                                           InUnitCase{"InchNegative", -1, 1016, "-0.001"},
                                           // 1 / 12192 ft = 0.0000820..., to 5 places.
                                           InUnitCase{"FootOneGridUnit", 1, 12192, "0.00008"},
                                           InUnitCase{"FootWhole", -12192, 12192, "-1"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(FormatInUnitTest, MillimetresAreTheHeightMapsOwnText) {
  for (std::int64_t k = -100000; k <= 100000; k += 7) {
    ASSERT_EQ(FormatInUnit(k, 40), FormatMillimetres(k)) << k;
  }
}

// Every grid unit's text, read back and multiplied by the unit, rounds to
// that grid unit and no other.
TEST(FormatInUnitTest, RoundedTextsTellEveryGridUnitApart) {
  for (const int units : {1016, 12192}) {
    for (std::int64_t k = -30000; k <= 30000; ++k) {
      const long double back = std::stold(FormatInUnit(k, units)) * units;
      ASSERT_EQ(std::llround(back), k) << units << " " << k;
    }
  }
}

}  // namespace
}  // namespace pelmoro

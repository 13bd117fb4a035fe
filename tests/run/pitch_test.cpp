#include "run/pitch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "run/messages.h"

namespace pelmoro {
namespace {

struct PitchCase {
  const char* label;
  const char* text;
  char separator;
  int pitch;            // 0 when refused
  const char* message;  // nullptr when accepted
};

// Test names and failure output show the case by its label.
void PrintTo(const PitchCase& c, std::ostream* os) { *os << c.label; }

class ParsePitchTextTest : public ::testing::TestWithParam<PitchCase> {};

TEST_P(ParsePitchTextTest, GivesGridUnitsOrTheMessage) {
  const PitchCase& c = GetParam();
  const PitchResult result = ParsePitchText(c.text, c.separator);
  EXPECT_EQ(result.pitch, c.pitch);
  EXPECT_EQ(result.message, c.message ? c.message : "");
}

constexpr const char* kSmall = kPitchTooSmallMessage;
constexpr const char* kRange = kPitchRangeMessage;

INSTANTIATE_TEST_SUITE_P(
    Table, ParsePitchTextTest,
    ::testing::Values(PitchCase{"InitialText", "0.1", '.', 4, nullptr},
                      PitchCase{"OneGridUnit", "0.025", '.', 1, nullptr},
                      PitchCase{"OneMillimetre", "1", '.', 40, nullptr},
                      PitchCase{"Largest", "6.375", '.', 255, nullptr},
                      PitchCase{"FractionDropped", "6.39", '.', 255, nullptr},
                      PitchCase{"SpacesAround", " 0.5 ", '.', 20, nullptr},
                      PitchCase{"Exponent", "2.5e-1", '.', 10, nullptr},
                      PitchCase{"BelowOneUnit", "0.02", '.', 0, kSmall},
                      PitchCase{"Zero", "0", '.', 0, kSmall},
                      PitchCase{"SmallNegative", "-0.01", '.', 0, kSmall},
                      PitchCase{"JustAboveLargest", "6.4", '.', 0, kRange},
                      PitchCase{"Hundred", "100", '.', 0, kRange},
                      PitchCase{"MinusOneUnit", "-0.025", '.', 0, kRange},
                      PitchCase{"MinusOne", "-1", '.', 0, kRange},
                      PitchCase{"Letters", "abc", '.', 0, kRange},
                      PitchCase{"Empty", "", '.', 0, kRange},
                      PitchCase{"CommaWhilePointIsTheSeparator", "0,1", '.', 0, kRange},
                      PitchCase{"CommaLocale", "0,1", ',', 4, nullptr},
                      PitchCase{"PointWhileCommaIsTheSeparator", "0.1", ',', 0, kRange},
                      PitchCase{"BeyondSixtyFourBits", "1e30", '.', 0, kRange},
                      PitchCase{"ProductOverflows", "1e4931", '.', 0, kRange},
                      PitchCase{"Tab", "0.1\t", '.', 0, kRange}),
    [](const auto& info) { return std::string(info.param.label); });

// Every multiple of 0.025 mm, written with up to three decimals, must come
// out as exactly that many grid units: a product that landed a hair below
// the whole number would lose a unit when the fraction is dropped.
TEST(ParsePitchTextTest, EveryMultipleOfOneGridUnitIsExact) {
  for (int units = 1; units <= 255; ++units) {
    const int thousandths = units * 25;
    char three[16];
    std::snprintf(three, sizeof three, "%d.%03d", thousandths / 1000, thousandths % 1000);
    std::string shortest = three;
    while (shortest.back() == '0') shortest.pop_back();
    if (shortest.back() == '.') shortest.pop_back();
    EXPECT_EQ(ParsePitchText(three, '.').pitch, units) << three;
    EXPECT_EQ(ParsePitchText(shortest, '.').pitch, units) << shortest;
  }
}

}  // namespace
}  // namespace pelmoro

#include "foundation/numbers.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "foundation/errors.h"
#include "foundation/numbers_detail.h"

namespace pelmoro {
namespace {

using namespace std::string_literals;

constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

std::string Hex(Real x) {
  char text[64];
  std::snprintf(text, sizeof text, "%La", x);
  return text;
}

// Same value and same sign, bit for bit (so -0 differs from 0).
::testing::AssertionResult SameBits(Real actual, Real expected) {
  if (std::memcmp(&actual, &expected, 10) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Hex(actual) << " instead of " << Hex(expected);
}

std::string NotARealMessage(const std::string& text) {
  return "'" + text + "' は浮動小数点数ではありません";
}

// 10^k as the reader applies it: the same three table factors in turn.
Real ScaledPower(int k) {
  Real value = detail::kPow10Units[k % 32];
  if ((k / 32) % 16 != 0) value *= detail::kPow10Thirtytwos[(k / 32) % 16];
  if (k >= 512) value *= detail::kPow10FiveTwelves[k / 512];
  return value;
}

struct ValidCase {
  const char* name;
  std::string text;
  Real expected;
  friend void PrintTo(const ValidCase& c, std::ostream* out) { *out << c.name; }
};

class ParseRealValidTest : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ParseRealValidTest, Value) {
  EXPECT_TRUE(SameBits(ParseReal(GetParam().text, '.'), GetParam().expected));
  EXPECT_TRUE(SameBits(detail::ParseRealReference(GetParam().text, '.'), GetParam().expected));
  EXPECT_EQ(std::fetestexcept(kErrorFlags), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseRealValidTest,
    ::testing::Values(
        ValidCase{"SpacesAround", " 1.5 ", 1.5L}, ValidCase{"PlusSign", "+2", 2.0L},
        ValidCase{"LowerExponent", "1e3", 1000.0L}, ValidCase{"SignedExponent", "1E+03", 1000.0L},
        ValidCase{"NegativeExponent", "1.5e-3", 15.0L / 10000.0L},
        ValidCase{"ExponentLetterAlone", "5E", 5.0L}, ValidCase{"ExponentSignAlone", "5E+", 5.0L},
        ValidCase{"ExponentMinusAlone", "5e-", 5.0L}, ValidCase{"LoneSeparator", ".", 0.0L},
        ValidCase{"MinusSeparator", "-.", -0.0L}, ValidCase{"SeparatorFive", ".5", 0.5L},
        ValidCase{"FiveSeparator", "5.", 5.0L}, ValidCase{"MinusZero", "-0", -0.0L},
        ValidCase{"ManyZeros", "000.000", 0.0L}, ValidCase{"Grid", "0.025", 1.0L / 40.0L},
        ValidCase{"StlExponent", "-1.250000e+02", -125.0L},
        ValidCase{"ThreeDigitExponent", "3.422440e+000", 342244.0L / 100000.0L},
        ValidCase{"SeventeenDigits", "1349.999999525236", 1349999999525236.0L / 1e12L},
        ValidCase{"TwoToThe64Minus1", "18446744073709551615", 0x1p64L - 1},
        ValidCase{"TwoToThe64", "18446744073709551616", 0x1p64L},
        ValidCase{"TwoToThe64Plus1Rounds", "18446744073709551617", 0x1p64L},
        ValidCase{"Exponent27Exact", "1e27", 1e27L}, ValidCase{"Power40", "1e40", ScaledPower(40)},
        ValidCase{"PowerMinus40", "1e-40", 1.0L / 1e8L / detail::kPow10Thirtytwos[1]},
        ValidCase{"Power500", "1E500", ScaledPower(500)},
        ValidCase{"Power4932", "1e4932", ScaledPower(4932)},
        ValidCase{"TinyUnderflowsToZero", "1E-4999", 0.0L},
        ValidCase{"MinusTinyIsMinusZero", "-1E-4999", -0.0L},
        ValidCase{"LeadingZerosInExponent", "1e00499", ScaledPower(499)},
        ValidCase{"ExponentDigitAfter499", "1e-4990", 0.0L},
        ValidCase{"EndsAtZeroByte", "1.5\0junk"s, 1.5L},
        ValidCase{"ZeroByteAfterSpace", "2 \0 x"s, 2.0L},
        ValidCase{"LongZeroFraction", "0." + std::string(6000, '0') + "1", 0.0L},
        ValidCase{"LongZeroInteger", std::string(6000, '0'), 0.0L}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase {
  const char* name;
  std::string text;
  friend void PrintTo(const InvalidCase& c, std::ostream* out) { *out << c.name; }
};

class ParseRealInvalidTest : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(ParseRealInvalidTest, RaisesConvertErrorWithTheWholeText) {
  for (const auto parse : {&ParseReal, &detail::ParseRealReference}) {
    try {
      parse(GetParam().text, '.');
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.message(), NotARealMessage(GetParam().text));
    }
    EXPECT_EQ(std::fetestexcept(kErrorFlags), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseRealInvalidTest,
    ::testing::Values(InvalidCase{"TrailingTab", "1.5\t"}, InvalidCase{"LeadingTab", "\t1.5"},
                      InvalidCase{"Comma", "1,5"}, InvalidCase{"TwoMinus", "--2"},
                      InvalidCase{"PlusMinus", "+-2"}, InvalidCase{"Empty", ""},
                      InvalidCase{"Space", " "}, InvalidCase{"Minus", "-"},
                      InvalidCase{"ExponentOnly", "E5"}, InvalidCase{"TwoSeparators", "1.2.3"},
                      InvalidCase{"Abc", "abc"}, InvalidCase{"SpaceBetween", "1 2"},
                      InvalidCase{"SpaceAfterSign", "- 2"}, InvalidCase{"Exponent5000", "1E5000"},
                      InvalidCase{"OverflowAt4999", "1E4999"},
                      InvalidCase{"Overflow4933", "1e4933"}, InvalidCase{"DoubleExponent", "1e5e5"},
                      InvalidCase{"ZeroByteFirst",
                                  "\0"
                                  "1"s},
                      InvalidCase{"JunkBeforeZeroByte", "1x\0"s},
                      InvalidCase{"FoldOverflows", "1" + std::string(5000, '0')},
                      InvalidCase{"FoldOverflowsThenJunk", "1" + std::string(5000, '0') + "x"},
                      InvalidCase{"FoldOverflowsDespiteExponent",
                                  "1" + std::string(5000, '0') + "e-4999"},
                      InvalidCase{"HexNotRead", "0x10"}, InvalidCase{"Infinity", "inf"}),
    [](const auto& info) { return std::string(info.param.name); });

// Texts of digits d_1..d_k with a decimal exponent, for comparison with the
// correctly rounded strtold.
std::string RandomText(std::mt19937_64& random, int max_exponent) {
  std::uniform_int_distribution<int> digit_count(1, 19), digit(0, 9);
  std::uniform_int_distribution<int> exponent(-max_exponent, max_exponent);
  std::string text;
  for (int i = digit_count(random); i > 0; --i) text += static_cast<char>('0' + digit(random));
  return text + "e" + std::to_string(exponent(random));
}

TEST(ParseReal, ShortTextsWithSmallExponentsAreCorrectlyRounded) {
  // At most 19 digits and |n| <= 27: the significand and the power are exact,
  // so the one rounding of the product or quotient is the only one.
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = RandomText(random, 27);
    EXPECT_EQ(ParseReal(text, '.'), std::strtold(text.c_str(), nullptr)) << text;
  }
}

TEST(ParseReal, ScalingStaysWithinAFewRoundingsEverywhere) {
  // Up to four roundings (product and three factors) over the whole range.
  std::mt19937_64 random(11);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = RandomText(random, 4900);
    const Real expected = std::strtold(text.c_str(), nullptr);
    const Real actual = ParseReal(text, '.');
    EXPECT_LE(std::fabs(actual - expected), std::fabs(expected) * 0x1p-61L) << text;
  }
}

TEST(ParseReal, DenormalResultsAreKept) {
  const Real value = ParseReal("1e-4940", '.');
  EXPECT_EQ(std::fpclassify(value), FP_SUBNORMAL);
  EXPECT_NEAR(static_cast<double>(value / std::strtold("1e-4940", nullptr)), 1.0, 1e-9);
  EXPECT_EQ(std::fetestexcept(kErrorFlags), 0);
}

TEST(ParseReal, MessageQuotesTheTextAsHandedIn) {
  try {
    ParseReal("abc");
    FAIL() << "accepted";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.message(), "'abc' は浮動小数点数ではありません");
  }
}

TEST(ParseReal, GridMultiplesTimesFortyAreWhole) {
  // Every pitch from 0.025 to 6.375 mm, with its decimals trimmed and with
  // all three written, lands on a whole number of grid units.
  for (int units = 1; units <= 255; ++units) {
    char padded[16];
    std::snprintf(padded, sizeof padded, "%d.%03d", units * 25 / 1000, units * 25 % 1000);
    std::string trimmed = padded;
    while (trimmed.back() == '0') trimmed.pop_back();
    if (trimmed.back() == '.') trimmed.pop_back();
    for (const std::string& text : {std::string(padded), trimmed}) {
      EXPECT_EQ(ParseReal(text, '.') * 40, static_cast<Real>(units)) << text;
    }
  }
}

class DecimalSeparatorTest : public ::testing::Test {
 protected:
  void TearDown() override { SetDecimalSeparator('.'); }
};

TEST_F(DecimalSeparatorTest, CommaModeReadsCommaAndRejectsPoint) {
  EXPECT_EQ(DecimalSeparator(), '.');
  EXPECT_EQ(ParseReal("1.5"), 1.5L);
  SetDecimalSeparator(',');
  EXPECT_EQ(ParseReal("1,5"), 1.5L);
  EXPECT_EQ(ParseReal(","), 0.0L);
  EXPECT_THROW(ParseReal("1.5"), EConvertError);
  EXPECT_EQ(ParseReal("-2,5e1", ','), -25.0L);
  EXPECT_EQ(ParseReal("2.5", '.'), 2.5L);
}

TEST_F(DecimalSeparatorTest, ZeroSeparatorNeverMatches) {
  EXPECT_EQ(ParseReal("1\0"
                      "5"s,
                      '\0'),
            1.0L);
  EXPECT_THROW(ParseReal(".5", '\0'), EConvertError);
}

// Sets LC_ALL for one test and puts the old value back.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("LC_ALL");
    had_ = old != nullptr;
    if (had_) old_ = old;
  }
  void TearDown() override {
    if (had_) {
      setenv("LC_ALL", old_.c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
  }
  static bool Installed(const char* name) {
    const locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return false;
    freelocale(locale);
    return true;
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST_F(LocaleTest, PointLocalesAndMissingLocalesGivePoint) {
  for (const char* name : {"C", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    setenv("LC_ALL", name, 1);
    EXPECT_EQ(LocaleDecimalSeparator(), '.') << name;
  }
}

TEST_F(LocaleTest, CommaLocaleGivesComma) {
  const char* const names[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8", "nl_NL.UTF-8"};
  for (const char* name : names) {
    if (!Installed(name)) continue;
    setenv("LC_ALL", name, 1);
    EXPECT_EQ(LocaleDecimalSeparator(), ',') << name;
    EXPECT_EQ(localeconv()->decimal_point[0], '.') << "the process locale changed";
    return;
  }
  GTEST_SKIP() << "no locale with a decimal comma is installed";
}

struct FormatCase {
  const char* name;
  std::int32_t n;
  const char* expected;
};

class FormatIntegerTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatIntegerTest, Text) {
  EXPECT_EQ(FormatInteger(GetParam().n), GetParam().expected);
  char out[12];
  std::memset(out, '#', sizeof out);
  const int length = FormatIntegerTo(out, GetParam().n);
  EXPECT_EQ(std::string(out, static_cast<std::size_t>(length)), GetParam().expected);
  EXPECT_EQ(out[length], '#') << "wrote past the text";
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatIntegerTest,
    ::testing::Values(FormatCase{"Zero", 0, "0"}, FormatCase{"MinusSeven", -7, "-7"},
                      FormatCase{"SevenDigits", 1234567, "1234567"},
                      FormatCase{"Smallest", INT32_MIN, "-2147483648"},
                      FormatCase{"Largest", INT32_MAX, "2147483647"}, FormatCase{"Ten", 10, "10"},
                      FormatCase{"NinetyNine", 99, "99"}, FormatCase{"Hundred", 100, "100"},
                      FormatCase{"MinusTen", -10, "-10"},
                      FormatCase{"Billion", 1000000000, "1000000000"},
                      FormatCase{"InnerZeros", -100200, "-100200"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatInteger, AgreesWithToStringAcrossTheRange) {
  for (std::int64_t n = INT32_MIN; n <= INT32_MAX; n += 65537 * 13) {
    const auto value = static_cast<std::int32_t>(n);
    EXPECT_EQ(FormatInteger(value), std::to_string(value));
  }
  // Every change of length, both signs.
  for (std::int64_t power = 1; power <= 1000000000; power *= 10) {
    for (const std::int64_t n : {power - 1, power, -power + 1, -power}) {
      const auto value = static_cast<std::int32_t>(n);
      EXPECT_EQ(FormatInteger(value), std::to_string(value));
    }
  }
}

}  // namespace
}  // namespace pelmoro

#include "foundation/real.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "foundation/errors.h"

namespace pelmoro {
namespace {

constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// Operands the compiler cannot fold, so the arithmetic happens at run time.
volatile Real g_zero = 0;
volatile Real g_one = 1;
volatile Real g_largest = LDBL_MAX;

struct FpErrorCase {
  const char* name;
  std::function<Real()> compute;
  const char* message;
};

class CheckFpErrorsTest : public ::testing::TestWithParam<FpErrorCase> {};

TEST_P(CheckFpErrorsTest, RaisesTheMatchingErrorAndClearsTheFlags) {
  ClearFpErrors();
  Real result = GetParam().compute();
  FpBarrier(result);
  try {
    CheckFpErrors();
    ADD_FAILURE() << "no error raised";
  } catch (const EMathError& e) {
    EXPECT_EQ(e.message(), GetParam().message);
  }
  EXPECT_EQ(std::fetestexcept(kErrorFlags), 0);
  EXPECT_NO_THROW(CheckFpErrors());
}

INSTANTIATE_TEST_SUITE_P(Conditions, CheckFpErrorsTest,
                         ::testing::Values(FpErrorCase{"ZeroByZero", [] { return g_zero / g_zero; },
                                                       "不正な浮動小数点数演算命令"},
                                           FpErrorCase{"OneByZero", [] { return g_one / g_zero; },
                                                       "0 による浮動小数点数除算"},
                                           FpErrorCase{"ExtendedOverflow",
                                                       [] { return g_largest * 2; },
                                                       "浮動小数点数のオーバーフロー"},
                                           FpErrorCase{"StoredIntoDouble",
                                                       [] {
                                                         volatile double held =
                                                             static_cast<double>(g_largest);
                                                         return static_cast<Real>(held);
                                                       },
                                                       "浮動小数点数のオーバーフロー"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckFpErrors, KindsAreDistinguishable) {
  ClearFpErrors();
  Real result = g_one / g_zero;
  FpBarrier(result);
  EXPECT_THROW(CheckFpErrors(), EZeroDivide);
  result = g_zero / g_zero;
  FpBarrier(result);
  EXPECT_THROW(CheckFpErrors(), EInvalidOp);
}

TEST(CheckFpErrors, UnderflowAndInexactAreNoErrors) {
  ClearFpErrors();
  Real tiny = LDBL_TRUE_MIN;
  volatile Real third = g_one / 3;
  Real result = tiny / 3 + third;
  FpBarrier(result);
  EXPECT_NO_THROW(CheckFpErrors());
}

struct TruncateCase {
  const char* name;
  Real x;
  std::int64_t expected;
};

class TruncateRealTest : public ::testing::TestWithParam<TruncateCase> {};

TEST_P(TruncateRealTest, DropsTheFractionTowardZero) {
  EXPECT_EQ(TruncateReal(GetParam().x), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TruncateRealTest,
    ::testing::Values(TruncateCase{"Positive", 2.9L, 2}, TruncateCase{"Negative", -2.9L, -2},
                      TruncateCase{"Zero", 0.0L, 0}, TruncateCase{"NegativeZero", -0.0L, 0},
                      TruncateCase{"BelowOne", 0.999L, 0}, TruncateCase{"MinusHalf", -0.5L, 0},
                      TruncateCase{"Denormal", LDBL_TRUE_MIN, 0}, TruncateCase{"One", 1.0L, 1},
                      TruncateCase{"FractionAtTwoToThe62", 0x1p62L - 0.5L, (1LL << 62) - 1},
                      TruncateCase{"LargestInt64", 0x1p63L - 1, INT64_MAX},
                      TruncateCase{"SmallestInt64", -0x1p63L, INT64_MIN},
                      TruncateCase{"JustAboveSmallest", -0x1p63L + 1, INT64_MIN + 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct OutOfRangeCase {
  const char* name;
  Real x;
};

class TruncateRealOutOfRangeTest : public ::testing::TestWithParam<OutOfRangeCase> {};

TEST_P(TruncateRealOutOfRangeTest, RaisesInvalidOp) {
  EXPECT_THROW(TruncateReal(GetParam().x), EInvalidOp);
  EXPECT_EQ(std::fetestexcept(kErrorFlags), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TruncateRealOutOfRangeTest,
    ::testing::Values(OutOfRangeCase{"TwoToThe63", 0x1p63L},
                      OutOfRangeCase{"BelowSmallest", -0x1p63L - 1}, OutOfRangeCase{"Huge", 1e300L},
                      OutOfRangeCase{"Infinity", std::numeric_limits<Real>::infinity()},
                      OutOfRangeCase{"MinusInfinity", -std::numeric_limits<Real>::infinity()},
                      OutOfRangeCase{"NaN", std::numeric_limits<Real>::quiet_NaN()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WholePart, DropsTheFractionTowardZeroKeepingTheSign) {
  EXPECT_EQ(WholePart(2.7L), 2.0L);
  EXPECT_EQ(WholePart(-2.7L), -2.0L);
  EXPECT_EQ(WholePart(0x1p62L + 0.5L), 0x1p62L);
  const Real minus_half = WholePart(-0.5L);
  EXPECT_EQ(minus_half, 0.0L);
  EXPECT_TRUE(std::signbit(minus_half));
  EXPECT_EQ(WholePart(-std::numeric_limits<Real>::infinity()),
            -std::numeric_limits<Real>::infinity());
}

}  // namespace
}  // namespace pelmoro

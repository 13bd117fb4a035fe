#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "foundation/real.h"

namespace pelmoro {
namespace {

// Values a few extended-precision steps beside whole numbers, where a
// rounding to double lands on the whole number itself: the fast truncation
// must agree with TruncateReal everywhere in its range.
TEST(TruncateWithinInt32Test, AgreesWithTruncateRealBesideWholeNumbers) {
  for (long double n : {0.0L, 1.0L, 2.0L, 3.0L, 1000.0L, 65536.0L, 2147483647.0L, 2147483646.0L,
                        -1.0L, -2.0L, -1000.0L, -2147483647.0L, -2147483648.0L}) {
    long double below = n, above = n;
    for (int k = 0; k < 40; ++k) {
      for (long double x : {below, above, n + 0.5L, n - 0.5L}) {
        if (!(x > -2147483649.0L && x < 2147483648.0L)) continue;
        EXPECT_EQ(TruncateWithinInt32(x), static_cast<std::int32_t>(TruncateReal(x)))
            << static_cast<double>(n) << " step " << k;
      }
      below = std::nextafter(below, -INFINITY);
      above = std::nextafter(above, INFINITY);
    }
  }
}

// Progress percentages, each quotient taken and as GrowingPercent keeps it:
// every part of small wholes (quotients that land on whole percentages, and
// just beside them), and the parts of large wholes around each percentage
// step, reached in jumps.
TEST(TruncatedPercentTest, AgreesWithTruncateReal) {
  const auto expected = [](std::int64_t part, std::int64_t whole) {
    return TruncateReal(static_cast<Real>(part) / static_cast<Real>(whole) * 100);
  };
  for (std::int64_t whole : {1, 3, 7, 49, 100, 127, 300, 1000, 4096}) {
    GrowingPercent growing(whole);
    for (std::int64_t part = 0; part <= whole; ++part) {
      ASSERT_EQ(TruncatedPercent(part, whole), expected(part, whole)) << part << " / " << whole;
      ASSERT_EQ(growing.At(part), expected(part, whole)) << part << " / " << whole;
    }
  }
  for (std::int64_t whole :
       {std::int64_t{348419}, std::int64_t{1} << 40, (std::int64_t{1} << 55) + 3}) {
    GrowingPercent growing(whole);  // taken in growing steps, as a reading takes blocks
    for (std::int64_t percent = 0; percent <= 100; ++percent) {
      const std::int64_t at = static_cast<std::int64_t>(static_cast<Real>(whole) * percent / 100);
      for (std::int64_t part = std::max<std::int64_t>(0, at - 2); part <= std::min(whole, at + 2);
           ++part) {
        ASSERT_EQ(TruncatedPercent(part, whole), expected(part, whole)) << part << " / " << whole;
        ASSERT_EQ(growing.At(part), expected(part, whole)) << part << " / " << whole;
      }
    }
  }
}

}  // namespace
}  // namespace pelmoro

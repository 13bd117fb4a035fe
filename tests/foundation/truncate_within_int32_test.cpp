#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pelmoro

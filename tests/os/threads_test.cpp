// Threads started through Env compute as the thread that started them.
// Built for every system (it runs under Windows too).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "os/env.h"

namespace pelmoro {
namespace {

struct Quotient {
  volatile long double numerator = 1.0L;
  volatile long double denominator = 3.0L;
  long double result = 0.0L;
};

void Divide(void* argument) {
  auto* q = static_cast<Quotient*>(argument);
  q->result = q->numerator / q->denominator;
}

// 1/3 needs every bit of the 64-bit mantissa: at double precision (what
// Windows gives a new thread unless told otherwise) its last 11 bits are 0.
TEST(StartThreadTest, LongDoublesKeepTheirFullPrecision) {
  Quotient here;
  Divide(&here);
  Quotient there;
  std::uintptr_t thread = 0;
  ASSERT_TRUE(Env::Default().StartThread(std::size_t{1} << 20, Divide, &there, &thread));
  Env::Default().JoinThread(thread);
  std::uint64_t mantissa_here = 0;
  std::uint64_t mantissa_there = 0;
  std::memcpy(&mantissa_here, &here.result, sizeof mantissa_here);
  std::memcpy(&mantissa_there, &there.result, sizeof mantissa_there);
  EXPECT_EQ(mantissa_there, mantissa_here);
  EXPECT_NE(mantissa_here & 0x7FF, 0u);
}

}  // namespace
}  // namespace pelmoro

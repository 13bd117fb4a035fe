// Byte counts that stop at the largest uint64 instead of wrapping: a size
// too large to count is simply larger than any disk.
#pragma once

#include <cstdint>
#include <limits>

namespace pelmoro {

inline std::uint64_t AddBytes(std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

inline std::uint64_t MultiplyBytes(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::uint64_t>::max()
                                                : product;
}

}  // namespace pelmoro

// Decimal digits eight at a time: the word-at-a-time tests shared by the
// number readers.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace pelmoro {

static_assert(std::endian::native == std::endian::little,
              "the digit chunks put the first character in the lowest byte");

inline constexpr std::uint64_t kIntegerPowersOfTen[9] = {1,      10,      100,      1000,     10000,
                                                         100000, 1000000, 10000000, 100000000};

// Number of leading digit characters among the eight bytes of chunk. A byte
// is no digit when subtracting 0x30 sets its top bit (below '0', or 0xBA and
// up) or adding 0x46 does (above '9' up to 0xB9). Borrows and carries only
// run toward later bytes, so the first flagged byte is the first non-digit.
inline int LeadingDigitCount(std::uint64_t chunk) {
  const std::uint64_t flagged =
      ((chunk - 0x3030303030303030) | (chunk + 0x4646464646464646)) & 0x8080808080808080;
  return flagged == 0 ? 8 : __builtin_ctzll(flagged) / 8;
}

// The value of the first count (1..8) digit characters of chunk: the digits
// are moved to the top bytes and combined pairwise, 2, 4 and 8 at a time.
inline std::uint64_t DigitsValue(std::uint64_t chunk, int count) {
  chunk = (chunk << (8 * (8 - count))) & 0x0F0F0F0F0F0F0F0F;
  chunk = (chunk * 10 + (chunk >> 8)) & 0x00FF00FF00FF00FF;
  chunk = (chunk * 100 + (chunk >> 16)) & 0x0000FFFF0000FFFF;
  return (chunk * 10000 + (chunk >> 32)) & 0xFFFFFFFF;
}

// The eight bytes at p, which must all be readable.
inline std::uint64_t LoadEightBytes(const char* p) {
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  return chunk;
}

}  // namespace pelmoro

#include "heightmap/hzm_size.h"

#include <algorithm>
#include <limits>

namespace pelmoro {

namespace {

constexpr std::uint64_t kHeaderBytes = 29;  // "VERSION=6" and six one-letter lines, CR LF each
constexpr std::uint64_t kRowEndBytes = 3;   // "S" CR LF
// Two commas, a one-character z, CR LF.
constexpr std::uint64_t kPointBytesBesideXY = 5;
constexpr int kMaxDigits = 10;  // of a 32-bit coordinate

constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();

std::uint64_t Add(std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? kSaturated : sum;
}

std::uint64_t Multiply(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? kSaturated : product;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// How many of first + k * step, k = 0 .. count - 1, lie in [lo, hi].
std::uint64_t CountIn(std::int64_t first, int step, std::int64_t count, std::int64_t lo,
                      std::int64_t hi) {
  const std::int64_t k_lo = std::max<std::int64_t>(0, CeilDiv(lo - first, step));
  const std::int64_t k_hi = std::min<std::int64_t>(count - 1, FloorDiv(hi - first, step));
  return k_hi >= k_lo ? static_cast<std::uint64_t>(k_hi - k_lo + 1) : 0;
}

// The characters of first + k * step written in decimal, summed over
// k = 0 .. count - 1, counted band by band of equal length: numbers of d
// digits take d characters, and one more with a minus sign.
std::uint64_t SumOfTextLengths(std::int64_t first, int step, std::int64_t count) {
  std::uint64_t total = 0;
  std::int64_t low = 1;  // 10^(d-1)
  for (int d = 1; d <= kMaxDigits; ++d, low *= 10) {
    const std::int64_t high = low * 10 - 1;
    const std::int64_t positive_low = d == 1 ? 0 : low;
    total += static_cast<std::uint64_t>(d) * CountIn(first, step, count, positive_low, high);
    total += static_cast<std::uint64_t>(d + 1) * CountIn(first, step, count, -high, -low);
  }
  return total;
}

}  // namespace

// Every point of a row: x text + y text + 5; so the body is
// rows * (columns * 5 + 3) + rows * (x texts of a row) + columns * (y texts).
std::uint64_t HzmSizeLowerBound(const Lattice& lattice) {
  const auto rows = static_cast<std::uint64_t>(lattice.rows);
  const auto columns = static_cast<std::uint64_t>(lattice.columns);
  const std::uint64_t x_texts = SumOfTextLengths(lattice.x_min, lattice.pitch, lattice.columns);
  const std::uint64_t y_texts = SumOfTextLengths(lattice.y_min, lattice.pitch, lattice.rows);
  std::uint64_t total = kHeaderBytes;
  total = Add(total, Multiply(rows, Add(Multiply(columns, kPointBytesBesideXY), kRowEndBytes)));
  total = Add(total, Multiply(rows, x_texts));
  total = Add(total, Multiply(columns, y_texts));
  return total;
}

}  // namespace pelmoro

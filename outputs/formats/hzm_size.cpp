#include "outputs/formats/hzm_size.h"

#include <algorithm>

#include "outputs/formats/byte_count.h"

namespace pelmoro {

namespace {

constexpr std::uint64_t kHeaderBytes = 29;      // "VERSION=6" and six one-letter lines, CR LF each
constexpr std::uint64_t kRowEndBytes = 3;       // "S" CR LF
constexpr std::uint64_t kPointPunctuation = 4;  // two commas, CR LF
// A point line beside its x and y: the punctuation and a one-character z.
constexpr std::uint64_t kPointBytesBesideXY = kPointPunctuation + 1;
constexpr int kMaxDigits = 10;  // of a 32-bit coordinate

// How many of first + k * step, k = 0 .. count - 1, lie in [lo, hi].
std::uint64_t CountIn(std::int64_t first, int step, std::int64_t count, std::int64_t lo,
                      std::int64_t hi) {
  // |lo - first| and |hi - first| stay below 2^35, well within what
  // CeilByPitch and FloorByPitch take.
  const std::int64_t k_lo = std::max<std::int64_t>(0, CeilByPitch(lo - first, step));
  const std::int64_t k_hi = std::min<std::int64_t>(count - 1, FloorByPitch(hi - first, step));
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

// The characters of n in decimal, a minus sign included.
std::uint64_t DecimalLength(std::int64_t n) {
  std::uint64_t magnitude =
      n < 0 ? 0ULL - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  std::uint64_t length = n < 0 ? 2 : 1;
  for (; magnitude >= 10; magnitude /= 10) ++length;
  return length;
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
  total = AddBytes(total, MultiplyBytes(rows, AddBytes(MultiplyBytes(columns, kPointBytesBesideXY),
                                                       kRowEndBytes)));
  total = AddBytes(total, MultiplyBytes(rows, x_texts));
  total = AddBytes(total, MultiplyBytes(columns, y_texts));
  return total;
}

std::uint64_t HzmSizeUpperBound(const Lattice& lattice, std::int32_t z_low, std::int32_t z_high) {
  return HzmSizeWithin(lattice, z_low, z_high).upper;
}

HzmSizeRange HzmSizeWithin(const Lattice& lattice, std::int32_t z_low, std::int32_t z_high) {
  // The text's length grows with the magnitude and a sign: the longest is
  // at an end of the range, the shortest at the number nearest 0.
  std::int64_t nearest = 0;
  if (z_low > 0) nearest = z_low;
  if (z_high < 0) nearest = z_high;
  const std::uint64_t shortest = DecimalLength(nearest);
  const std::uint64_t longest = std::max(DecimalLength(z_low), DecimalLength(z_high));
  const std::uint64_t least = HzmSizeLowerBound(lattice);  // one character a z
  const std::uint64_t points = MultiplyBytes(static_cast<std::uint64_t>(lattice.rows),
                                             static_cast<std::uint64_t>(lattice.columns));
  return {AddBytes(least, MultiplyBytes(points, shortest - 1)),
          AddBytes(least, MultiplyBytes(points, longest - 1))};
}

HzmByteCounter::HzmByteCounter(const Lattice& lattice) : lattice_(lattice), bytes_(kHeaderBytes) {}

void HzmByteCounter::WritePiece(const RowPiece& piece, std::span<const RowText>) {
  const std::uint64_t y_length = DecimalLength(lattice_.Y(piece.row));
  for (std::size_t i = 0; i < piece.heights.size(); ++i) {
    const std::int64_t x = lattice_.X(piece.first_column + static_cast<std::int64_t>(i));
    bytes_ += DecimalLength(x) + y_length + DecimalLength(piece.heights[i]) + kPointPunctuation;
  }
  if (piece.ends_row) bytes_ += kRowEndBytes;
}

}  // namespace pelmoro

#include "run/map_size.h"

#include "engine/row_sink.h"

namespace pelmoro {

namespace {

int DecimalLength(std::int64_t n) {
  std::uint64_t magnitude = n < 0 ? 0ULL - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  int length = n < 0 ? 2 : 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    ++length;
  }
  return length;
}

// Works on the heights alone: no text is made.
class ByteCountingSink : public RowSink {
 public:
  explicit ByteCountingSink(const Lattice& lattice) : lattice_(lattice) {}
  void WritePiece(const RowPiece& piece, std::span<const std::string>) override {
    const std::int64_t y = lattice_.Y(piece.row);
    for (std::size_t i = 0; i < piece.heights.size(); ++i) {
      const auto column = piece.first_column + static_cast<std::int64_t>(i);
      bytes_ += PointLineBytes(lattice_.X(column), y, piece.heights[i]);
    }
    if (piece.ends_row) bytes_ += 3;  // "S" CR LF
  }
  std::uint64_t bytes() const { return bytes_; }

 private:
  const Lattice& lattice_;
  std::uint64_t bytes_ = 0;
};

}  // namespace

std::uint64_t PointLineBytes(std::int64_t x, std::int64_t y, std::int32_t z) {
  return static_cast<std::uint64_t>(DecimalLength(x) + DecimalLength(y) + DecimalLength(z) + 4);
}

std::uint64_t MeasureHeightMapBytes(const GeometryStore& store, const Lattice& lattice,
                                    std::int32_t count, RunDriver& driver,
                                    const ScanOptions& options) {
  ByteCountingSink sink(lattice);
  ScanHeightMap(store, lattice.pitch, count, driver, sink, options);
  return kHeightMapHeaderBytes + sink.bytes();
}

}  // namespace pelmoro

#include "heightmap/map_size.h"

#include <cstring>
#include <string>

namespace pelmoro {

namespace {

int DecimalLength(std::int32_t n) {
  std::uint32_t magnitude = n < 0 ? 0U - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
  int length = n < 0 ? 2 : 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    ++length;
  }
  return length;
}

// Each row's byte count travels as 8 raw bytes in place of its text.
class CountingRowSink : public RowSink {
 public:
  void FormatRow(std::int32_t y, std::int32_t x0, int pitch,
                 std::span<const std::int32_t> heights, std::string& out) const override {
    std::uint64_t bytes = 3;  // "S" CR LF
    std::int64_t x = x0;
    for (std::int32_t z : heights) {
      bytes += PointLineBytes(static_cast<std::int32_t>(x), y, z);
      x += pitch;
    }
    char raw[sizeof bytes];
    std::memcpy(raw, &bytes, sizeof bytes);
    out.append(raw, sizeof raw);
  }
  void WriteRow(std::string_view text) override {
    for (std::size_t i = 0; i + sizeof(std::uint64_t) <= text.size(); i += sizeof(std::uint64_t)) {
      std::uint64_t bytes = 0;
      std::memcpy(&bytes, text.data() + i, sizeof bytes);
      total_ += bytes;
    }
  }
  std::uint64_t total() const { return total_; }

 private:
  std::uint64_t total_ = 0;
};

}  // namespace

std::uint64_t PointLineBytes(std::int32_t x, std::int32_t y, std::int32_t z) {
  return static_cast<std::uint64_t>(DecimalLength(x) + DecimalLength(y) + DecimalLength(z) + 4);
}

std::uint64_t MeasureHeightMapBytes(const GeometryStore& store, int pitch, std::int32_t count,
                                    RunDriver& driver, const ScanOptions& options) {
  CountingRowSink sink;
  ScanHeightMap(store, pitch, count, driver, sink, options);
  return kHeightMapHeaderBytes + sink.total();
}

}  // namespace pelmoro

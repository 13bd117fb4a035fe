#include "engine/binary_stl_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/stl_format.h"
#include "engine/triangle_metrics.h"
#include "foundation/binary_input.h"
#include "foundation/errors.h"
#include "foundation/real.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// Records asked of the system per read: about 400 KB.
constexpr std::size_t kRecordsPerChunk = 8192;
constexpr std::size_t kVertexOffset = 12;  // after the normal

std::string FieldName(std::uint64_t triangle, int field) {
  return "triangle " + std::to_string(triangle) + ": vertex " + std::to_string(field / 3 + 1) +
         " " + "xyz"[field % 3];
}

std::string ValueText(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// One float32 into grid units; triangle is 1-based, field 0..8.
std::int32_t ConvertCoordinate(float value, std::uint64_t triangle, int field, int units) {
  if (std::isnan(value)) throw EConvertError(FieldName(triangle, field) + " is not a number (nan)");
  if (std::isinf(value)) {
    throw EConvertError(FieldName(triangle, field) + " is not a finite number (" +
                        (value > 0 ? "inf" : "-inf") + ")");
  }
  try {
    return ToGridUnitsNaming(value, units, [value] { return ValueText(value); });
  } catch (const ERangeError& e) {
    throw ERangeError(FieldName(triangle, field) + ": " + e.message());
  }
}

// TruncateReal(P / B * 100) with P and B in 128-byte blocks, as the ASCII
// reader shows its progress; a file under one block shows an empty bar.
int BlockProgress(std::uint64_t bytes_taken, std::uint64_t size) {
  const std::uint64_t blocks = size / kTextBlock;
  if (blocks == 0) return 0;
  const std::uint64_t taken =
      std::min((bytes_taken + kTextBlock - 1) / kTextBlock * kTextBlock, size) / kTextBlock;
  return static_cast<int>(
      TruncateReal(static_cast<Real>(taken) / static_cast<Real>(blocks) * 100));
}

class BinaryReading {
 public:
  BinaryReading(GeometryStore& store, const std::string& file_name, RunDriver& driver, int units)
      : store_(store), driver_(driver), input_(file_name), units_(units) {}

  std::int32_t ReadAll() {
    const std::uint32_t count = ReadHeader();
    store_.SetCapacity(count);
    std::vector<char> chunk(kRecordsPerChunk * kBinaryStlRecordBytes);
    std::uint32_t done = 0;
    while (done < count) {
      const std::size_t records = std::min<std::size_t>(kRecordsPerChunk, count - done);
      const std::size_t bytes = records * kBinaryStlRecordBytes;
      if (input_.Read(chunk.data(), bytes) < bytes) throw ETruncatedStl(count, done);
      for (std::size_t r = 0; r < records; ++r) {
        TakeTriangle(chunk.data() + r * kBinaryStlRecordBytes, done);
        ++done;
        if (StopAfterTriangle(done)) return static_cast<std::int32_t>(done);
      }
    }
    return static_cast<std::int32_t>(done);
  }

 private:
  std::uint32_t ReadHeader() {
    char header[kBinaryStlHeaderBytes];
    const std::size_t got = input_.Read(header, sizeof header);
    std::uint32_t count = 0;
    if (got == sizeof header) std::memcpy(&count, header + 80, sizeof count);  // little-endian
    CheckBinaryStlSize(count, input_.size());
    if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
      throw ERangeError("a binary STL of " + std::to_string(count) +
                        " triangles is more than the 2147483647 that can be converted");
    }
    return count;
  }

  void TakeTriangle(const char* record, std::uint32_t row) {
    float values[9];
    std::memcpy(values, record + kVertexOffset, sizeof values);
    Triangle& triangle = store_.triangle(row);
    for (int k = 0; k < 3; ++k) {
      Vertex& v = triangle.v[k];
      v.x = ConvertCoordinate(values[3 * k], row + 1ULL, 3 * k, units_);
      v.y = ConvertCoordinate(values[3 * k + 1], row + 1ULL, 3 * k + 1, units_);
      v.z = ConvertCoordinate(values[3 * k + 2], row + 1ULL, 3 * k + 2, units_);
      store_.WidenBounds(v);
    }
    StoreTriangle(store_, row);
  }

  bool StopAfterTriangle(std::uint32_t done) {
    const std::uint64_t taken = kBinaryStlHeaderBytes + std::uint64_t{done} * kBinaryStlRecordBytes;
    // The bar moves once per block taken; the quotient is taken only then.
    const std::uint64_t block = (taken + kTextBlock - 1) / kTextBlock;
    if (block != last_block_ || done == 1) {
      last_block_ = block;
      progress_ = BlockProgress(taken, input_.size());
    }
    driver_.SetProgress(progress_, done);
    driver_.ProcessMessages();
    return driver_.StopRequested();
  }

  GeometryStore& store_;
  RunDriver& driver_;
  BinaryInput input_;
  int units_;
  std::uint64_t last_block_ = 0;
  int progress_ = 0;
};

}  // namespace

std::int32_t ReadBinaryStlVertices(GeometryStore& store, const std::string& file_name,
                                   RunDriver& driver, int units_per_file_unit) {
  BinaryReading reading(store, file_name, driver, units_per_file_unit);
  return reading.ReadAll();
}

}  // namespace pelmoro

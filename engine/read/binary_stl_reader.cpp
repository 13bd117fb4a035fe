#include "engine/read/binary_stl_reader.h"

#include <emmintrin.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "engine/magnitudes.h"
#include "engine/read/grid_units.h"
#include "engine/read/stl_format.h"
#include "engine/triangle_metrics.h"
#include "foundation/binary_input.h"
#include "foundation/errors.h"
#include "foundation/real.h"
#include "foundation/scratch_arena.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// Records asked of the system per read: about 400 KB.
constexpr std::size_t kRecordsPerChunk = 8192;
constexpr std::size_t kVertexOffset = 12;  // after the normal
// Triangles converted and measured together before they are stored.
constexpr std::size_t kBatch = 256;

std::string FieldName(std::uint64_t triangle, int field) {
  return "triangle " + std::to_string(triangle) + ": vertex " + std::to_string(field / 3 + 1) +
         " " + "xyz"[field % 3];
}

std::string ValueText(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// One float32 into grid units; triangle is 1-based, field 0..8. Taken only
// for a record ConvertRecordFast refuses, so that its failing field is
// named.
std::int32_t ConvertCoordinate(float value, std::uint64_t triangle, int field, int units,
                               std::int64_t shift) {
  if (std::isnan(value)) throw EConvertError(FieldName(triangle, field) + " is not a number (nan)");
  if (std::isinf(value)) {
    throw EConvertError(FieldName(triangle, field) + " is not a finite number (" +
                        (value > 0 ? "inf" : "-inf") + ")");
  }
  try {
    const auto text = [value] { return ValueText(value); };
    if (shift != 0) return ToShiftedGridUnits(value, units, shift, text);
    return ToGridUnitsNaming(value, units, text);
  } catch (const ERangeError& e) {
    throw ERangeError(FieldName(triangle, field) + ": " + e.message());
  }
}

// Where the bytes come from: a file of known size, or a stream (a pipe, a
// device) whose first bytes were read already to tell its kind.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `bytes` bytes, fewer only at the end of the data.
  virtual std::size_t Read(char* into, std::size_t bytes) = 0;
  // The size in bytes, or 0 when it cannot be known beforehand.
  virtual std::uint64_t size() const = 0;
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string& name) : input_(name) {}
  std::size_t Read(char* into, std::size_t bytes) override { return input_.Read(into, bytes); }
  std::uint64_t size() const override { return input_.size(); }

 private:
  BinaryInput input_;
};

class StreamSource : public ByteSource {
 public:
  StreamSource(TextFile& file, std::string_view head) : file_(file), head_(head) {}
  std::size_t Read(char* into, std::size_t bytes) override {
    std::size_t done = std::min(bytes, head_.size());
    std::memcpy(into, head_.data(), done);
    head_.remove_prefix(done);
    while (done < bytes) {
      const std::size_t got = ReadTextBytes(file_, into + done, bytes - done);
      CheckIoResult();
      if (got == 0) break;
      done += got;
    }
    return done;
  }
  std::uint64_t size() const override { return 0; }

 private:
  TextFile& file_;
  std::string_view head_;
};

class BinaryReading {
 public:
  BinaryReading(GeometryStore& store, ByteSource& source, RunDriver& driver, int units,
                const GridShift& shift)
      : store_(store), driver_(driver), source_(source), units_(units), shift_(shift) {}

  std::int32_t ReadAll() {
    const std::uint32_t count = ReadHeader();
    // A stream's count cannot be checked against its size: its rows come as
    // its records do.
    if (size_ > 0) store_.SetCapacity(count);
    // The buffer of a large file in huge pages: fresh memory costs a fault
    // a page to touch.
    const std::size_t chunk_bytes =
        std::min<std::size_t>(kRecordsPerChunk, std::max<std::uint32_t>(count, 1)) *
        kBinaryStlRecordBytes;
    const bool large = chunk_bytes >= kRecordsPerChunk / 2 * kBinaryStlRecordBytes;
    ScratchArena arena(large ? chunk_bytes : 0);
    std::vector<char, ArenaAllocator<char>> chunk(chunk_bytes, ArenaAllocator<char>(&arena));
    std::uint32_t done = 0;
    while (done < count) {
      const std::size_t records = std::min<std::size_t>(kRecordsPerChunk, count - done);
      const std::size_t bytes = records * kBinaryStlRecordBytes;
      const std::size_t got = source_.Read(chunk.data(), bytes);
      const std::size_t whole = got / kBinaryStlRecordBytes;
      for (std::size_t first = 0; first < whole; first += kBatch) {
        const std::size_t n = std::min(kBatch, whole - first);
        if (TakeBatch(chunk.data() + first * kBinaryStlRecordBytes, n, done)) {
          return static_cast<std::int32_t>(done);
        }
      }
      if (got < bytes) throw ETruncatedStl(count, done);
    }
    char extra = 0;
    if (size_ == 0 && source_.Read(&extra, 1) > 0) {
      throw ENotStlFile("binary data with bytes after the last of the " + std::to_string(count) +
                        " triangles its header counts");
    }
    return static_cast<std::int32_t>(done);
  }

 private:
  std::uint32_t ReadHeader() {
    char header[kBinaryStlHeaderBytes];
    const std::size_t got = source_.Read(header, sizeof header);
    std::uint32_t count = 0;
    if (got == sizeof header) std::memcpy(&count, header + 80, sizeof count);  // little-endian
    if (size_ > 0) {
      CheckBinaryStlSize(count, size_);
    } else if (got < sizeof header) {
      CheckBinaryStlSize(count, got);  // too short for a header
    }
    if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
      throw ERangeError("a binary STL of " + std::to_string(count) +
                        " triangles is more than the 2147483647 that can be converted");
    }
    return count;
  }

  // Takes n records into the store from row `done` on; true on a stop
  // request. The triangles are converted, then ordered and measured
  // together (see ComputeTriangleMetrics), then stored one by one as they
  // were read: the bounds, the progress and the stop check after each, and
  // an error only once every triangle before it is stored.
  bool TakeBatch(const char* records, std::size_t n, std::uint32_t& done) {
    int failed_field = -1;
    std::exception_ptr failure;
    std::size_t converted = 0;
    try {
      for (; converted < n; ++converted) {
        const char* const record = records + converted * kBinaryStlRecordBytes;
        if (!ConvertRecordFast(record, triangles_[converted])) {
          ConvertRecord(record, done + converted, triangles_[converted], failed_field);
        }
      }
    } catch (...) {
      failure = std::current_exception();
    }
    for (std::size_t r = 0; r < converted; ++r) OrderTriangleVertices(triangles_[r]);
    ComputeTriangleMetrics(triangles_, metrics_, converted);
    for (std::size_t r = 0; r < converted; ++r) {
      if (done >= store_.capacity()) store_.EnsureRow(done);
      for (const Vertex& v : triangles_[r].v) store_.WidenBounds(v);
      store_.triangle(done) = triangles_[r];
      store_.metrics(done) = metrics_[r];
      ++done;
      if (StopAfterTriangle(done)) return true;
    }
    if (failure) Refuse(triangles_[converted], failed_field, done, failure);
    return false;
  }

  // The record's vertices when every coordinate is finite and within the
  // grid range, two coordinates at a time; false, with nothing promised of
  // triangle, for anything else (which ConvertRecord names).
  //
  // Exact, with no margin to settle: a float32 has 24 significant bits and
  // the units at most 16, so d = v * units is exact in double precision
  // (and in extended), with at most 40 significant bits. For |d| >= 0.5,
  // d + 0.5 then spans at most 42 bits and is exact in both precisions; for
  // |d| < 0.5 both roundings of d + 0.5 stay within (0, 1), which truncates
  // to 0 either way. So truncating the double d + 0.5 gives what
  // TruncateReal(v * units + 0.5) gives, and its range test is the same.
  bool ConvertRecordFast(const char* record, Triangle& triangle) const {
    if (shift_.any()) return false;                // ConvertRecord subtracts it
    const char* const p = record + kVertexOffset;  // nine floats: 36 bytes
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    std::int32_t last_bits = 0;
    std::memcpy(&last_bits, p + 32, sizeof last_bits);
    const __m128i last = _mm_cvtsi32_si128(last_bits);
    // Infinities and NaNs (every exponent bit set) take the path that names
    // them, before a conversion could flag a signalling NaN.
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    const auto special = [exponent](__m128i bits) {
      return _mm_cmpeq_epi32(_mm_and_si128(bits, exponent), exponent);
    };
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(special(low), special(high)), special(last))) !=
        0) {
      return false;
    }
    const __m128d units = _mm_set1_pd(units_);
    const __m128d half = _mm_set1_pd(0.5);
    // Grid values of the floats in a pair's two lanes.
    const auto grid = [units, half](__m128 pair) {
      return _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(pair), units), half);
    };
    const __m128d d[5] = {grid(_mm_castsi128_ps(low)),
                          grid(_mm_movehl_ps(_mm_castsi128_ps(low), _mm_castsi128_ps(low))),
                          grid(_mm_castsi128_ps(high)),
                          grid(_mm_movehl_ps(_mm_castsi128_ps(high), _mm_castsi128_ps(high))),
                          grid(_mm_castsi128_ps(last))};  // its second lane: 0.5
    // ToGridUnits's range: anything between -2^31 - 1 and 2^31 truncates
    // into 32 bits. Tested before the truncation, which raises no flag then.
    const __m128d lowest = _mm_set1_pd(kBelowGridRange);
    const __m128d highest = _mm_set1_pd(kAboveGridRange);
    __m128d within = _mm_castsi128_pd(_mm_set1_epi32(-1));
    for (const __m128d& lanes : d) {
      within =
          _mm_and_pd(within, _mm_and_pd(_mm_cmpgt_pd(lanes, lowest), _mm_cmplt_pd(lanes, highest)));
    }
    if (_mm_movemask_pd(within) != 3) return false;
    std::int32_t values[10];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values),
                     _mm_unpacklo_epi64(_mm_cvttpd_epi32(d[0]), _mm_cvttpd_epi32(d[1])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values + 4),
                     _mm_unpacklo_epi64(_mm_cvttpd_epi32(d[2]), _mm_cvttpd_epi32(d[3])));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(values + 8), _mm_cvttpd_epi32(d[4]));
    for (int k = 0; k < 3; ++k) {
      triangle.v[k] = Vertex{values[3 * k], values[3 * k + 1], values[3 * k + 2]};
    }
    return true;
  }

  // The record's vertices in file order; field counts the coordinates
  // begun (the failing one, when a conversion raises).
  void ConvertRecord(const char* record, std::uint64_t row, Triangle& triangle, int& field) {
    float values[9];
    std::memcpy(values, record + kVertexOffset, sizeof values);
    for (field = 0; field < 9; ++field) {
      std::int32_t& coordinate = triangle.v[field / 3].*kCoordinates[field % 3];
      const int axis = field % 3;
      const std::int64_t shift = axis == 0 ? shift_.x : axis == 1 ? shift_.y : 0;
      coordinate = ConvertCoordinate(values[field], row + 1, field, units_, shift);
    }
  }

  // A record refused at `field`: the row keeps the coordinates converted
  // before it, and the bounds take its whole vertices, as a reader that
  // stores each coordinate at once leaves them. Then raises the error.
  [[noreturn]] void Refuse(const Triangle& partial, int field, std::uint32_t row,
                           const std::exception_ptr& failure) {
    if (row >= store_.capacity()) store_.EnsureRow(row);
    Triangle& stored = store_.triangle(row);
    for (int f = 0; f < field; ++f) {
      stored.v[f / 3].*kCoordinates[f % 3] = partial.v[f / 3].*kCoordinates[f % 3];
    }
    for (int k = 0; k < field / 3; ++k) store_.WidenBounds(partial.v[k]);
    std::rethrow_exception(failure);
  }

  static constexpr std::int32_t Vertex::*kCoordinates[3] = {&Vertex::x, &Vertex::y, &Vertex::z};

  bool StopAfterTriangle(std::uint32_t done) {
    // TruncateReal(P / B * 100) with P and B in 128-byte blocks, as the
    // ASCII reader shows its progress; a file under one block, or a stream,
    // shows an empty bar.
    const std::uint64_t taken = kBinaryStlHeaderBytes + std::uint64_t{done} * kBinaryStlRecordBytes;
    driver_.SetProgress(progress_.At(BlocksTaken(taken, size_)), done);
    driver_.ProcessMessages();
    return driver_.StopRequested();
  }

  GeometryStore& store_;
  RunDriver& driver_;
  ByteSource& source_;
  int units_;
  GridShift shift_;
  const std::uint64_t size_ = source_.size();  // 0 for a stream
  GrowingPercent progress_{static_cast<std::int64_t>(size_ / kTextBlock)};
  Triangle triangles_[kBatch];
  TriangleMetrics metrics_[kBatch];
};

}  // namespace

std::int32_t ReadBinaryStlVertices(GeometryStore& store, const std::string& file_name,
                                   RunDriver& driver, int units_per_file_unit,
                                   const GridShift& shift) {
  FileSource source(file_name);
  return BinaryReading(store, source, driver, units_per_file_unit, shift).ReadAll();
}

std::int32_t ReadBinaryStlVertices(GeometryStore& store, TextFile& stream, std::string_view head,
                                   RunDriver& driver, int units_per_file_unit,
                                   const GridShift& shift) {
  StreamSource source(stream, head);
  return BinaryReading(store, source, driver, units_per_file_unit, shift).ReadAll();
}

}  // namespace pelmoro

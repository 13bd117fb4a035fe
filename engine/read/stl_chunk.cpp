#include "engine/read/stl_chunk.h"

#include <emmintrin.h>

#include <new>
#include <string_view>

#include "engine/read/grid_field.h"
#include "engine/read/vertex_line.h"
#include "engine/triangle_metrics.h"
#include "foundation/digit_chunks.h"

namespace pelmoro {

static_assert(kChunkPadding >= kFieldReadAhead + 16, "the readers look this far ahead");

void StlChunk::Clear() {
  length = 0;
  offset = 0;
  ends_data = false;
  read_error = nullptr;
  first_slot = -1;
  vertices.clear();
  triangles.clear();
  metrics.clear();
  lines = 0;
  last_vertex_line = 0;
  solid_seen = endsolid_after_vertices = ctrl_z = false;
  ctrl_z_at = 0;
  refusal = nullptr;
  refusal_line = 0;
  partial = Vertex{};
  partial_fields = 0;
  failure = nullptr;
}

namespace {

constexpr char kLf = 10;
constexpr char kCr = 13;
constexpr char kCtrlZ = 26;

// A byte that a line's leading strip or a field separator passes over:
// codes 0 to 32 other than the two that end lines.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32 && c != kLf && c != kCr; }

inline const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// The first LF or CR at or after p, or end. Sixteen bytes at a time; the
// padding after end makes every load safe.
inline const char* FindLineEnd(const char* p, const char* end) {
  const __m128i lf = _mm_set1_epi8(kLf);
  const __m128i cr = _mm_set1_epi8(kCr);
  for (; p < end; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)));
    if (hits != 0) {
      const char* found = p + __builtin_ctz(static_cast<unsigned>(hits));
      return found < end ? found : end;
    }
  }
  return end;
}

// Lowercase words as little-endian integers, first letter lowest.
constexpr std::uint64_t kEndsolid = 0x64696c6f73646e65;  // "endsolid"
constexpr std::uint64_t kSolid = 0x64696c6f73;           // "solid"
constexpr std::uint64_t kFiveBytes = 0xFFFFFFFFFF;
constexpr std::uint64_t kCaseBits = 0x2020202020202020;

// Whether the (stripped) line at p begins with the word, letter case
// ignored. A line end or the padding never folds into a letter, so the
// bytes compared never reach past the line.
inline bool BeginsWith(const char* p, std::uint64_t word, std::uint64_t mask) {
  return ((LoadEightBytes(p) | kCaseBits) & mask) == word;
}

class ChunkParser {
 public:
  ChunkParser(StlChunk& chunk, int units, const GridShift& shift)
      : chunk_(chunk),
        data_(chunk.bytes.data()),
        end_(data_ + chunk.length),
        units_(units),
        shift_(shift),
        shifted_(shift.any()) {}

  void Run() {
    const char* p = data_;
    while (p < end_) {
      if (*p == kCtrlZ) {
        chunk_.ctrl_z = true;
        chunk_.ctrl_z_at = static_cast<std::size_t>(p - data_);
        return;
      }
      ++chunk_.lines;
      const char* const start = SkipBlanks(p);
      if (SpellsVertex(start)) {  // the padding holds the bytes past a short line
        chunk_.last_vertex_line = chunk_.lines;
        chunk_.endsolid_after_vertices = false;
        p = VertexLine(start);
        if (p == nullptr) return;  // refused
      } else {
        if (vertices_before_facet_lines_ < 0) {
          vertices_before_facet_lines_ = static_cast<int>(chunk_.vertices.size());
        }
        NoteOtherLine(start);
        p = NextLine(FindLineEnd(start, end_));
      }
    }
  }

  // The slot of the first vertex as a well-formed file has it: the
  // vertices before the chunk's first other line (an "endloop", say)
  // complete a triangle begun in the chunk before.
  int GuessedFirstSlot() const {
    const int lead = vertices_before_facet_lines_ < 0 ? static_cast<int>(chunk_.vertices.size())
                                                      : vertices_before_facet_lines_;
    return (3 - lead % 3) % 3;
  }

 private:
  void NoteOtherLine(const char* start) {
    if ((*start | 0x20) == 'e') {
      if (BeginsWith(start, kEndsolid, ~std::uint64_t{0})) chunk_.endsolid_after_vertices = true;
    } else if (BeginsWith(start, kSolid, kFiveBytes)) {
      chunk_.solid_seen = true;
    }
  }

  // The start of the line after the one that ends at line_end (a LF, a CR,
  // or end_ for a last line without terminator), noting in end_offset_
  // the file offset past what a line reader has looked at by then.
  const char* NextLine(const char* line_end) {
    const std::uint64_t at = chunk_.offset + static_cast<std::uint64_t>(line_end - data_);
    if (line_end == end_) {  // the data's last line, without terminator
      end_offset_ = at;
      return end_;
    }
    if (*line_end == kLf) {
      end_offset_ = at + 1;
      return line_end + 1;
    }
    // A CR: the byte after it is looked at, and taken when it is a LF. Only
    // the data's last byte has none; a chunk ends with a lone CR only when
    // the byte after it (in the next chunk) is known not to be a LF.
    const bool last_byte = line_end + 1 == end_ && chunk_.ends_data;
    end_offset_ = at + (last_byte ? 1 : 2);
    return line_end + 1 < end_ && line_end[1] == kLf ? line_end + 2 : line_end + 1;
  }

  // Reads the vertex line whose keyword is at start; the next line's
  // start, or nullptr when the line is refused.
  const char* VertexLine(const char* start) {
    Vertex v;
    const char* p = FastFields(start + 6, v);
    if (p == nullptr) return GeneralFields(start);
    p = NextLine(p);
    Record(v);
    return p;
  }

  // The three fields on the fast path; the line's end (LF, CR or end_),
  // or nullptr when the line needs the general reading.
  const char* FastFields(const char* p, Vertex& v) {
    p = SkipBlanks(p);
    if ((p = ReadPlanField(p, shift_.x, v.x)) == nullptr) return nullptr;
    p = SkipBlanks(p);
    if (static_cast<unsigned char>(*p) <= 32) return nullptr;  // no y
    if ((p = ReadPlanField(p, shift_.y, v.y)) == nullptr) return nullptr;
    p = SkipBlanks(p);
    if (static_cast<unsigned char>(*p) <= 32) return nullptr;  // no z
    if ((p = ReadGridField(p, units_, v.z)) == nullptr) return nullptr;
    p = SkipBlanks(p);
    // Only the line's end may follow z's trailing blanks.
    return (*p == kLf || *p == kCr) ? p : nullptr;
  }

  // x or y: with the shift when there is one.
  const char* ReadPlanField(const char* p, std::int64_t shift, std::int32_t& out) const {
    if (shifted_) return ReadShiftedGridField(p, units_, shift, out);
    return ReadGridField(p, units_, out);
  }

  const char* GeneralFields(const char* start) {
    const char* const line_end = FindLineEnd(start, end_);
    Vertex v;
    int converted = 0;
    try {
      ReadVertexFields(std::string_view(start, static_cast<std::size_t>(line_end - start)), v,
                       units_, converted, shift_);
    } catch (...) {
      chunk_.refusal = std::current_exception();
      chunk_.refusal_line = chunk_.lines;
      chunk_.partial = v;
      chunk_.partial_fields = converted;
      return nullptr;
    }
    const char* const next = NextLine(line_end);
    Record(v);
    return next;
  }

  void Record(const Vertex& v) { chunk_.vertices.push_back(VertexRecord{v, end_offset_}); }

  StlChunk& chunk_;
  const char* const data_;
  const char* const end_;
  const int units_;
  const GridShift shift_;
  const bool shifted_;
  std::uint64_t end_offset_ = 0;
  int vertices_before_facet_lines_ = -1;  // -1 until a line that is no vertex line
};

// Orders and measures every triangle that lies wholly in the chunk.
void CompleteTriangles(StlChunk& chunk) {
  const std::size_t lead = LeadingVertices(chunk);
  const std::size_t count = chunk.vertices.size() > lead ? (chunk.vertices.size() - lead) / 3 : 0;
  chunk.triangles.resize(count);
  chunk.metrics.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const VertexRecord* r = &chunk.vertices[lead + 3 * k];
    Triangle& t = chunk.triangles[k];
    t = Triangle{{r[0].v, r[1].v, r[2].v}};
    OrderTriangleVertices(t);
  }
  ComputeTriangleMetrics(chunk.triangles.data(), chunk.metrics.data(), count);
}

}  // namespace

void ParseStlChunk(StlChunk& chunk, int units_per_file_unit, const GridShift& shift) {
  try {
    // Room made at once, not grown by doubling: a grown table leaves its
    // earlier pieces unused in the chunk's arena.
    const std::size_t expected = ExpectedVertices(chunk.length);
    chunk.vertices.reserve(expected);
    chunk.triangles.reserve(expected / 3);
    chunk.metrics.reserve(expected / 3);
    ChunkParser parser(chunk, units_per_file_unit, shift);
    parser.Run();
    if (chunk.first_slot < 0) chunk.first_slot = parser.GuessedFirstSlot();
    CompleteTriangles(chunk);
  } catch (...) {  // only memory can fail here
    chunk.failure = std::current_exception();
    chunk.triangles.clear();
    chunk.metrics.clear();
  }
}

}  // namespace pelmoro

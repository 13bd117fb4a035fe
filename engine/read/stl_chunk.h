// A run of whole lines of an ASCII STL file, and what reading its lines
// found: the vertices in grid units, the lines counted, and the first
// refusal. Chunks are read one after the other and may be parsed on any
// thread; the thread that stores the model takes them in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "engine/read/grid_shift.h"
#include "foundation/geometry_store.h"
#include "foundation/scratch_arena.h"

namespace pelmoro {

// Bytes kept readable after a chunk's lines, holding line feeds: the
// fast readers look ahead without testing for the end.
inline constexpr std::size_t kChunkPadding = 64;

struct VertexRecord {
  Vertex v;
  // The file offset just past the bytes a line reader has looked at once it
  // has this line: its terminator, and after a CR that is not part of CR LF
  // the byte after it. Progress is counted from it.
  std::uint64_t end = 0;
};

template <typename T>
using ChunkVector = std::vector<T, ArenaAllocator<T>>;

struct StlChunk {
  StlChunk() = default;
  // Its tables from the arena, which must outlive it.
  explicit StlChunk(ScratchArena* arena)
      : bytes(ArenaAllocator<char>(arena)),
        vertices(ArenaAllocator<VertexRecord>(arena)),
        triangles(ArenaAllocator<Triangle>(arena)),
        metrics(ArenaAllocator<TriangleMetrics>(arena)) {}

  // What the reading fills in.
  ChunkVector<char> bytes;        // the lines, then kChunkPadding line feeds
  std::size_t length = 0;         // bytes of whole lines
  std::uint64_t offset = 0;       // file offset of bytes[0]
  bool ends_data = false;         // nothing follows (the last line may lack its end)
  std::exception_ptr read_error;  // the read after these bytes failed

  // The vertex slot (0, 1, 2) of the triangle that the chunk's first vertex
  // line fills, when the reading knows it; -1 lets parsing guess it from
  // the facet lines (a triangle begins after an "outer loop" line).
  int first_slot = -1;

  // What parsing finds. Lines are counted as the line reader hands them
  // out, 1-based within the chunk.
  ChunkVector<VertexRecord> vertices;
  // The triangles complete within the chunk when its first vertex fills
  // slot `first_slot` (as guessed, if it was not known): vertices[lead],
  // [lead + 1], [lead + 2] make triangles[0], and so on, with lead =
  // (3 - first_slot) % 3. Each is ordered by y, with its metrics.
  ChunkVector<Triangle> triangles;
  ChunkVector<TriangleMetrics> metrics;
  std::int64_t lines = 0;             // lines read, a refused one included
  std::int64_t last_vertex_line = 0;  // 0 when the chunk has no vertex line
  bool solid_seen = false;            // a line begins with "solid"
  // An "endsolid" line after the chunk's last vertex line (after its start
  // when it has none).
  bool endsolid_after_vertices = false;
  // The data ended at a Ctrl-Z where a line would begin, at this index.
  bool ctrl_z = false;
  std::size_t ctrl_z_at = 0;
  // The first vertex line refused (parsing stops there), with the fields
  // converted before the refusal, which the reading keeps.
  std::exception_ptr refusal;
  std::int64_t refusal_line = 0;
  Vertex partial;
  int partial_fields = 0;
  // Anything else that stopped the parsing (out of memory).
  std::exception_ptr failure;

  // Empties the chunk for the next run of lines, keeping its memory.
  void Clear();
};

// Reads the chunk's lines as the ASCII reader does: lines end at LF, CR LF
// or a CR not followed by LF; a Ctrl-Z where a line would begin ends the
// data; a line is a vertex line when, stripped of its leading bytes of code
// 0 to 32, it begins with "vertex" in any letter case. Each vertex line
// becomes a record in file order; other lines are only looked at for
// "solid" and "endsolid". Then completes the triangles that lie wholly in
// the chunk. Never raises: refusals and failures are recorded.
void ParseStlChunk(StlChunk& chunk, int units_per_file_unit, const GridShift& shift = {});

// Vertex lines a chunk makes room for before parsing: one in 24 bytes, more
// than ordinary files hold (a vertex line and its share of the facet's other
// lines take 40 bytes or more); a denser chunk grows its tables.
inline std::size_t ExpectedVertices(std::size_t chunk_bytes) { return chunk_bytes / 24 + 3; }

// The arena bytes a chunk of chunk_bytes takes, its bytes and the tables
// made for ExpectedVertices (alignment included).
inline std::size_t ChunkArenaBytes(std::size_t chunk_bytes) {
  const std::size_t vertices = ExpectedVertices(chunk_bytes);
  return chunk_bytes + kChunkPadding + vertices * sizeof(VertexRecord) +
         vertices / 3 * (sizeof(Triangle) + sizeof(TriangleMetrics)) + 4 * 64;
}

// The index of the chunk's first vertex that begins a triangle.
inline std::size_t LeadingVertices(const StlChunk& chunk) {
  return static_cast<std::size_t>((3 - chunk.first_slot) % 3);
}

}  // namespace pelmoro

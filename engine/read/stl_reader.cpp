#include "engine/read/stl_reader.h"

#include <algorithm>
#include <vector>

#include "engine/read/chunk_parsers.h"
#include "engine/read/line_chunker.h"
#include "engine/read/stl_chunk.h"
#include "engine/triangle_metrics.h"
#include "engine/worker_threads.h"
#include "foundation/errors.h"
#include "foundation/real.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// Rows the whole file will need, judged from what the rows so far took.
std::size_t ExpectedRows(std::size_t rows, std::int64_t position, std::int64_t size) {
  if (position <= 0 || size <= position) return rows + rows / 2 + 16;
  const double per_block = static_cast<double>(rows) / static_cast<double>(position);
  return static_cast<std::size_t>(per_block * static_cast<double>(size) * 1.05) + 16;
}

class InputReading {
 public:
  // file: open for reading; head: its first bytes, read already.
  InputReading(GeometryStore& store, TextFile& file, std::string_view head, RunDriver& driver,
               const StlReadOptions& options)
      : store_(store), driver_(driver), options_(options), file_(file), head_(head) {
    // A pipe's size is not known: its bar stays empty.
    blocks_ = file_.is_regular() ? TextSizeInBlocks(file_) : 0;
    CheckIoResult();
    progress_ = GrowingPercent(blocks_);
    if (file_.is_regular()) size_ = static_cast<std::uint64_t>(TextSizeInBytes(file_));
    CheckIoResult();
    store_.SetCapacity(static_cast<std::size_t>(TruncateReal(static_cast<Real>(blocks_) / 2)));
  }

  std::int32_t ReadAll(ReadingNotes& notes) {
    LineChunker chunker(file_, options_.chunk_bytes, head_);
    // More workers than cores would only keep waiting with their chunks
    // in memory.
    const int threads = ThreadsToStart(options_.threads, ThreadUse::kUpToCores);
    const bool ahead = threads > 1 && file_.is_regular() && size_ > 2 * options_.chunk_bytes;
    const bool stopped = ahead ? ReadAhead(chunker, threads) : ReadInTurn(chunker);
    if (!stopped) Note(notes, chunker);
    CloseText(file_);
    CheckIoResult();
    return triangles_;
  }

 private:
  // Each chunk read, parsed and stored in turn. True on a stop request.
  bool ReadInTurn(LineChunker& chunker) {
    // A file of a few chunks or more has its chunk's memory made of huge
    // pages (a pipe's size is not known).
    const bool large = !file_.is_regular() || size_ > 2 * options_.chunk_bytes;
    ScratchArena arena(large ? ChunkArenaBytes(options_.chunk_bytes) : 0);
    StlChunk chunk(&arena);
    while (!ended_at_ctrl_z_ && chunker.Next(chunk)) {
      chunk.first_slot = slot_;
      ParseStlChunk(chunk, options_.units, options_.shift);
      if (Take(chunk)) return true;
    }
    return false;
  }

  // Chunks read here and parsed ahead by workers and by this thread, in a
  // ring of a few per thread; they are stored in file order as each is
  // parsed.
  bool ReadAhead(LineChunker& chunker, int threads) {
    const std::size_t most = 2 * static_cast<std::size_t>(threads) + 2;
    ScratchArena arena(most * ChunkArenaBytes(options_.chunk_bytes));  // outlives the chunks
    std::vector<StlChunk> chunks;  // outlives the parsers, which may hold one at a stop
    ChunkParsers parsers(threads - 1, options_.units, most,
                         options_.shift);  // this thread is the last
    if (parsers.workers() == 0) return ReadInTurn(chunker);
    // A few chunks a thread that parses.
    const std::size_t ring = 2 * static_cast<std::size_t>(parsers.workers() + 1) + 2;
    chunks.reserve(ring);
    while (chunks.size() < ring) chunks.emplace_back(&arena);
    std::size_t submitted = 0;
    bool more = true;
    for (std::size_t taken = 0; !ended_at_ctrl_z_; ++taken) {
      while (more && submitted - taken < ring) {
        StlChunk& chunk = chunks[submitted % ring];
        more = chunker.Next(chunk);
        if (more) {
          parsers.Submit(chunk);
          ++submitted;
        }
      }
      if (taken == submitted) break;
      StlChunk& chunk = chunks[taken % ring];
      parsers.Await(chunk, [this] { driver_.WhileWaiting(); });
      if (Take(chunk)) return true;
    }
    return false;
  }

  // Stores a parsed chunk's vertices; true on a stop request. Then raises
  // what ended its parsing, if anything did.
  bool Take(const StlChunk& chunk) {
    const ChunkVector<VertexRecord>& records = chunk.vertices;
    std::size_t next = 0;
    if (chunk.first_slot == slot_) {  // the triangles made ahead are the file's
      const std::size_t lead = std::min(LeadingVertices(chunk), records.size());
      for (; next < lead; ++next) {
        if (TakeVertex(records[next]) && StopAfterTriangle(records[next].end)) return true;
      }
      for (std::size_t k = 0; k < chunk.triangles.size(); ++k, next += 3) {
        if (TakeTriangle(chunk, k, &records[next])) return true;
      }
    }
    for (; next < records.size(); ++next) {
      if (TakeVertex(records[next]) && StopAfterTriangle(records[next].end)) return true;
    }
    if (chunk.last_vertex_line > 0) {
      last_vertex_line_ = lines_ + chunk.last_vertex_line;
      endsolid_after_vertices_ = chunk.endsolid_after_vertices;
    } else {
      endsolid_after_vertices_ = endsolid_after_vertices_ || chunk.endsolid_after_vertices;
    }
    solid_seen_ = solid_seen_ || chunk.solid_seen;
    if (chunk.refusal) Refuse(chunk);
    if (chunk.failure) std::rethrow_exception(chunk.failure);
    lines_ += chunk.lines;
    if (chunk.read_error) RaiseAtLine(chunk.read_error, lines_ + 1);
    if (chunk.ctrl_z) {
      ended_at_ctrl_z_ = true;
      ctrl_z_offset_ = chunk.offset + chunk.ctrl_z_at;
      bytes_after_ctrl_z_ = chunk.length - chunk.ctrl_z_at - 1;
    }
    return false;
  }

  // Stores one vertex; true when it completed a triangle.
  bool TakeVertex(const VertexRecord& record) {
    const std::size_t row = static_cast<std::size_t>(triangles_);
    if (row >= store_.capacity()) {
      store_.EnsureRow(row, ExpectedRows(row, BlocksTaken(record.end, size_), blocks_));
    }
    store_.triangle(row).v[slot_] = record.v;
    store_.WidenBounds(record.v);
    if (++slot_ < 3) return false;
    slot_ = 0;
    StoreTriangle(store_, row);
    ++triangles_;
    return true;
  }

  // Stores a triangle completed ahead, made of the three records; true on
  // a stop request.
  bool TakeTriangle(const StlChunk& chunk, std::size_t k, const VertexRecord* records) {
    const std::size_t row = static_cast<std::size_t>(triangles_);
    if (row >= store_.capacity()) {
      store_.EnsureRow(row, ExpectedRows(row, BlocksTaken(records[2].end, size_), blocks_));
    }
    for (int i = 0; i < 3; ++i) store_.WidenBounds(records[i].v);
    store_.triangle(row) = chunk.triangles[k];
    store_.metrics(row) = chunk.metrics[k];
    ++triangles_;
    return StopAfterTriangle(records[2].end);
  }

  // A refused vertex line: the fields converted before the refusal are kept
  // in the row, as a line reader that stores each field at once leaves them.
  [[noreturn]] void Refuse(const StlChunk& chunk) {
    const std::size_t row = static_cast<std::size_t>(triangles_);
    store_.EnsureRow(row, row + 1);
    Vertex& v = store_.triangle(row).v[slot_];
    if (chunk.partial_fields > 0) v.x = chunk.partial.x;
    if (chunk.partial_fields > 1) v.y = chunk.partial.y;
    RaiseAtLine(chunk.refusal, lines_ + chunk.refusal_line);
  }

  [[noreturn]] static void RaiseAtLine(const std::exception_ptr& error, std::int64_t line) {
    try {
      std::rethrow_exception(error);
    } catch (Exception& e) {
      if (e.line() == 0) e.set_line(line);
      throw;
    }
  }

  bool StopAfterTriangle(std::uint64_t end) {
    // TruncateReal(P / B * 100), with B the file's size in text blocks and
    // P the blocks taken so far. A file under one block has no quotient; it
    // shows an empty bar, as does a pipe.
    driver_.SetProgress(progress_.At(BlocksTaken(end, size_)), triangles_);
    driver_.ProcessMessages();
    return driver_.StopRequested();
  }

  void Note(ReadingNotes& notes, LineChunker& chunker) {
    if (ended_at_ctrl_z_) {
      if (file_.is_regular()) {
        const std::int64_t size = TextSizeInBytes(file_);
        CheckIoResult();
        bytes_after_ctrl_z_ = static_cast<std::uint64_t>(size) > ctrl_z_offset_ + 1
                                  ? static_cast<std::uint64_t>(size) - ctrl_z_offset_ - 1
                                  : 0;
      } else {
        bytes_after_ctrl_z_ += chunker.CountRest();
        CheckIoResult();
      }
      notes.bytes_after_ctrl_z = bytes_after_ctrl_z_;
      if (bytes_after_ctrl_z_ > 0) notes.ctrl_z_line = lines_ + 1;
    }
    notes.leftover_vertices = slot_;
    notes.last_vertex_line = last_vertex_line_;
    notes.missing_endsolid =
        solid_seen_ && last_vertex_line_ > 0 && !endsolid_after_vertices_ && !ended_at_ctrl_z_;
  }

  GeometryStore& store_;
  RunDriver& driver_;
  const StlReadOptions options_;
  TextFile& file_;  // closed by its owner's destructor when an error leaves early
  std::string_view head_;
  std::int64_t blocks_ = 0;
  std::uint64_t size_ = 0;  // bytes of a regular file, else 0
  std::int32_t triangles_ = 0;
  int slot_ = 0;
  std::int64_t lines_ = 0;  // lines of the chunks taken so far
  GrowingPercent progress_{0};
  std::int64_t last_vertex_line_ = 0;
  bool solid_seen_ = false;
  bool endsolid_after_vertices_ = false;
  bool ended_at_ctrl_z_ = false;
  std::uint64_t ctrl_z_offset_ = 0;
  std::uint64_t bytes_after_ctrl_z_ = 0;
};

}  // namespace

std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             int units_per_file_unit) {
  ReadingNotes notes;
  return ReadStlVertices(store, file_name, driver, StlReadOptions{units_per_file_unit}, notes);
}

std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             int units_per_file_unit, ReadingNotes& notes) {
  return ReadStlVertices(store, file_name, driver, StlReadOptions{units_per_file_unit}, notes);
}

std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             const StlReadOptions& options, ReadingNotes& notes) {
  TextFile file;
  OpenTextForReading(file, file_name);
  CheckIoResult();
  return InputReading(store, file, {}, driver, options).ReadAll(notes);
}

std::int32_t ReadStlVertices(GeometryStore& store, TextFile& stream, std::string_view head,
                             RunDriver& driver, const StlReadOptions& options,
                             ReadingNotes& notes) {
  return InputReading(store, stream, head, driver, options).ReadAll(notes);
}

}  // namespace pelmoro

#include "engine/read/line_chunker.h"

#include <algorithm>
#include <string_view>

namespace pelmoro {

namespace {

// Just past the last complete line of bytes[0, length): after its last LF,
// or else after its last CR that has a byte after it (which is then no LF);
// 0 when no line is complete.
std::size_t CutAfterLastLine(const char* bytes, std::size_t length) {
  // Searched from the end: a line is short, so only its bytes are looked at.
  const std::string_view text(bytes, length);
  if (const std::size_t lf = text.rfind('\n'); lf != std::string_view::npos) return lf + 1;
  if (length < 2) return 0;
  const std::size_t cr = text.substr(0, length - 1).rfind('\r');
  return cr == std::string_view::npos ? 0 : cr + 1;
}

}  // namespace

LineChunker::LineChunker(TextFile& file, std::size_t chunk_bytes, std::string_view already_read)
    : file_(file),
      chunk_bytes_(std::max<std::size_t>(chunk_bytes, 1)),
      carry_(already_read.begin(), already_read.end()) {}

// Reads more into the chunk after its first length bytes, growing it when
// it is full. False once nothing more came.
bool LineChunker::Read(StlChunk& chunk, std::size_t& length) {
  if (at_end_) return false;
  ChunkVector<char>& bytes = chunk.bytes;
  // Up to the chunk's size, and twice what it holds once a line is longer.
  const std::size_t want = length < chunk_bytes_ ? chunk_bytes_ - length : length;
  if (bytes.size() < length + want + kChunkPadding) bytes.resize(length + want + kChunkPadding);
  const std::size_t got = ReadTextBytes(file_, bytes.data() + length, want);
  length += got;
  if (PendingIoCode() != 0) {
    try {
      CheckIoResult();
    } catch (...) {
      chunk.read_error = std::current_exception();
    }
    at_end_ = true;
  }
  // A regular file gives all that was asked up to its end; a pipe gives
  // what it has, and nothing only at its end.
  if (got == 0 || (file_.is_regular() && got < want)) at_end_ = true;
  return got > 0;
}

bool LineChunker::Next(StlChunk& chunk) {
  chunk.Clear();
  chunk.offset = offset_;
  std::size_t length = carry_.size();
  if (chunk.bytes.size() < length + kChunkPadding) chunk.bytes.resize(length + kChunkPadding);
  std::copy(carry_.begin(), carry_.end(), chunk.bytes.begin());
  carry_.clear();
  std::size_t cut = 0;
  for (;;) {
    Read(chunk, length);
    if (at_end_) {
      cut = length;
      chunk.ends_data = true;
      break;
    }
    // Read until a whole line is held; from a regular file the chunk is
    // full by then.
    cut = CutAfterLastLine(chunk.bytes.data(), length);
    if (cut > 0) break;
  }
  carry_.assign(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(cut),
                chunk.bytes.begin() + static_cast<std::ptrdiff_t>(length));
  chunk.length = cut;
  std::fill_n(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(cut), kChunkPadding, '\n');
  offset_ += cut;
  return cut > 0 || chunk.read_error != nullptr;
}

std::uint64_t LineChunker::CountRest() {
  std::uint64_t rest = carry_.size();
  if (file_.is_regular()) return rest;  // the caller knows the size
  std::vector<char> scratch(kTextReadChunk);
  while (!at_end_) {
    const std::size_t got = ReadTextBytes(file_, scratch.data(), scratch.size());
    rest += got;
    if (got == 0 || PendingIoCode() != 0) at_end_ = true;
  }
  return rest;
}

}  // namespace pelmoro

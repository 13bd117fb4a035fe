// Cutting a text file into chunks of whole lines, read one after the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/read/stl_chunk.h"
#include "foundation/text_file.h"

namespace pelmoro {

class LineChunker {
 public:
  // Chunks of about chunk_bytes (more when a line is longer) from an open
  // file: the bytes read from it already, then the rest from its reading
  // position on.
  LineChunker(TextFile& file, std::size_t chunk_bytes, std::string_view already_read = {});

  // Clears chunk and fills in the next run of whole lines: they end with a
  // LF, or with a CR that the byte after it shows not to be part of CR LF,
  // except for the data's last line. False when the data has nothing more.
  // A failed read ends the data; the chunk holds what came before it and
  // the error.
  bool Next(StlChunk& chunk);

  // The bytes still to come after the data's chunks so far: those held back
  // and, for a file that is no regular file, the rest of it, read to its
  // end to be counted.
  std::uint64_t CountRest();

 private:
  bool Read(StlChunk& chunk, std::size_t& length);

  TextFile& file_;
  std::size_t chunk_bytes_;
  std::vector<char> carry_;  // the start of a line cut off by the last read
  std::uint64_t offset_ = 0;
  bool at_end_ = false;
};

}  // namespace pelmoro

// The reference the fast readers are checked against: a text file read one
// line at a time, the plain way. Chunks come through ReadTextBytes into a
// buffer of its own; a line ends at LF, CR LF or a lone CR; a Ctrl-Z (byte
// 26) where a line would begin ends the data; and it tells the reading
// position a reader taking 128 bytes at a time would show (BlockReader
// defines it). The chunked STL reader is held to the line STL reader built
// on it, and the line-reader fuzz target holds it to BlockReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text_file.h"

namespace pelmoro::testing {

class ReferenceLineReader {
 public:
  // Reads file (open for reading, nothing taken from it yet) in chunks of
  // `chunk` bytes rounded up to a multiple of kTextBlock; small chunks make
  // refills frequent, which changes nothing a caller can observe. The file
  // must outlive the reader.
  explicit ReferenceLineReader(TextFile& file, std::size_t chunk = kTextReadChunk);

  // True when no more data can be read: the end, or a Ctrl-Z where the next
  // line would begin. Consumes nothing. A file not open for reading: true,
  // with ReadTextBytes' code pending (103 or 104).
  bool AtEnd();
  // After AtEnd gave true: whether a Ctrl-Z ended the data (rather than the
  // end), and how many bytes follow that Ctrl-Z unread. For a pipe or
  // device those bytes are read to the end to be counted.
  bool EndedAtCtrlZ() const;
  std::uint64_t BytesAfterCtrlZ();
  // The next line without its terminator, which is consumed. A last line
  // without terminator comes whole; at the end the text is empty. A Ctrl-Z
  // inside a line is an ordinary character. Not open for reading: empty,
  // with the code pending.
  std::string ReadLine() { return std::string(ReadLineView()); }
  // As ReadLine, without copying when the line lies in one chunk; the view
  // stays valid only until the next call.
  std::string_view ReadLineView();
  // The bytes a reader taking 128 bytes at a time would have taken so far
  // / 128: every byte looked at, rounded up to its block, at most what the
  // file has delivered.
  std::int64_t PositionInBlocks() const;

 private:
  bool Fill();
  std::size_t Next(char c, std::size_t& cache) const;
  std::string_view SkipLfAfterCr(std::string_view line, bool spanned);
  void Examine(std::uint64_t bytes);
  // File offset just past the buffer index i.
  std::uint64_t OffsetAfter(std::size_t i) const { return delivered_ - end_ + i + 1; }

  TextFile& file_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // next unread byte in buffer_
  std::size_t end_ = 0;    // bytes held
  // Index of the next LF / CR at or after begin_ (end_ when there is none in
  // the buffer; npos when not yet searched), so that no byte is searched
  // twice even when one of the two never occurs.
  std::size_t lf_at_;
  std::size_t cr_at_;
  std::uint64_t delivered_ = 0;  // bytes ReadTextBytes has given
  std::uint64_t examined_ = 0;   // bytes of the file looked at so far
  std::string line_;             // a line that spans two chunks
};

}  // namespace pelmoro::testing

#include "outputs/formats/hzm_writer.h"

#include <algorithm>
#include <cstring>

#include "foundation/numbers.h"
#include "outputs/formats/hzm_size.h"

namespace pelmoro {

void WriteHeightMapHeader(TextFile& out) {
  WriteTextLine(out, "VERSION=6");
  CheckIoResult();
  // Lines 2 to 7 are one character each; the last "S" ends the header.
  for (char c : {'T', 'O', 'O', 'L', '1', 'S'}) {
    PutChar(out, c);
    EndTextLine(out);
    CheckIoResult();
  }
}

namespace {

// The longest point line: three 11-character numbers, two commas, CR LF.
constexpr std::size_t kLongestPointLine = 3 * 11 + 2 + 2;

}  // namespace

std::size_t HzmFormatter::MaxBytesPerPoint() const { return kLongestPointLine; }

void HzmFormatter::FormatPiece(const Lattice& lattice, const RowPiece& piece, RowText& out) const {
  const std::span<const std::int32_t> heights = piece.heights;
  const auto y = static_cast<std::int32_t>(lattice.Y(piece.row));
  const int pitch = lattice.pitch;
  // Lines are made in a small buffer that stays in the cache and appended
  // a few hundred at a time, so the text only ever holds (and the memory
  // only ever touches) the bytes written.
  constexpr std::size_t kPointsPerChunk = 256;
  char chunk[kPointsPerChunk * kLongestPointLine + 3];
  // The y text is copied whole (11 bytes) into every line: a copy of a
  // fixed length is a pair of moves, and the bytes past its end are
  // overwritten by the rest of the line, which is always longer.
  char y_text[11] = {};
  const int y_length = FormatIntegerTo(y_text, y);
  std::int64_t x = lattice.X(piece.first_column);
  for (std::size_t done = 0; done < heights.size();) {
    const std::size_t end = std::min(heights.size(), done + kPointsPerChunk);
    char* p = chunk;
    for (std::size_t k = done; k < end; ++k) {
      p += FormatIntegerTo(p, static_cast<std::int32_t>(x));
      *p++ = ',';
      std::memcpy(p, y_text, sizeof y_text);
      p += y_length;
      *p++ = ',';
      p += FormatIntegerTo(p, heights[k]);
      *p++ = '\r';
      *p++ = '\n';
      x += pitch;
    }
    out.append(chunk, static_cast<std::size_t>(p - chunk));
    done = end;
  }
  if (piece.ends_row) out.append("S\r\n", 3);
}

void HzmWriter::DropPartialRow() {
  TakeTextBackTo(out_, row_start_);
  CheckIoResult();
}

void HzmWriter::WritePiece(const RowPiece& piece, std::span<const RowText> texts) {
  if (piece.first_column == 0) row_start_ = TextBytesTaken(out_);
  std::string_view text = texts.front();
  if (!out_.is_terminal()) {
    PutText(out_, text);
    CheckIoResult();
    return;
  }
  // A terminal sees every line as it ends; a file, a pipe or another
  // device (the null device) takes whole buffers.
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end - 1;
    PutText(out_, text.substr(0, length));
    EndTextLine(out_);
    CheckIoResult();
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

std::uint64_t HzmOutput::LeastFileBytes() const { return HzmSizeLowerBound(lattice_); }

}  // namespace pelmoro

#include "heightmap/asc_output.h"

#include <algorithm>

#include "heightmap/byte_count.h"
#include "heightmap/grid_millimetres.h"

namespace pelmoro {

namespace {
constexpr std::size_t kCopyChunk = 1 << 20;
}  // namespace

std::size_t AscFormatter::MaxBytesPerPoint() const {
  // A value and its space; the line end is shared by a whole row.
  return kLongestMillimetres + 1;
}

void AscFormatter::FormatPiece(const Lattice&, const RowPiece& piece, std::string& out) const {
  constexpr std::size_t kPointsPerChunk = 256;
  char chunk[kPointsPerChunk * (kLongestMillimetres + 1) + 2];
  const std::span<const std::int32_t> heights = piece.heights;
  for (std::size_t done = 0; done < heights.size();) {
    const std::size_t end = std::min(heights.size(), done + kPointsPerChunk);
    char* p = chunk;
    for (std::size_t k = done; k < end; ++k) {
      // A space before every value but the row's first.
      if (k != 0 || piece.first_column != 0) *p++ = ' ';
      p += FormatMillimetresTo(p, heights[k]);
    }
    out.append(chunk, static_cast<std::size_t>(p - chunk));
    done = end;
  }
  if (piece.ends_row) out.append("\r\n", 2);
}

std::string AscHeader(const Lattice& lattice, std::int64_t rows) {
  return "ncols " + std::to_string(lattice.columns) + "\r\nnrows " + std::to_string(rows) +
         "\r\nxllcenter " + FormatMillimetres(lattice.x_min) + "\r\nyllcenter " +
         FormatMillimetres(lattice.y_min) + "\r\ncellsize " + FormatMillimetres(lattice.pitch) +
         "\r\n";
}

std::uint64_t AscRowsLowerBound(const Lattice& lattice) {
  // columns values, columns - 1 spaces and CR LF: 2 * columns + 1 a row.
  const auto columns = static_cast<std::uint64_t>(lattice.columns);
  return MultiplyBytes(static_cast<std::uint64_t>(lattice.rows),
                       AddBytes(MultiplyBytes(columns, 2), 1));
}

std::uint64_t AscOutput::LeastFileBytes() const {
  return AddBytes(AscHeader(lattice_, lattice_.rows).size(), AscRowsLowerBound(lattice_));
}

std::optional<SpaceClaim> AscOutput::ScratchClaim() const {
  return spill_.ClaimSpace(AscRowsLowerBound(lattice_));
}

void AscOutput::Start(const Lattice& lattice, const ModelBounds&) {
  lattice_ = lattice;
  spill_.Open(target_);
}

void AscOutput::WritePiece(const RowPiece& piece, std::span<const std::string> texts) {
  if (piece.first_column == 0) row_starts_.push_back(spill_.size());
  spill_.Append(texts.front());
}

void AscOutput::Finish() {
  PutText(out_, AscHeader(lattice_, static_cast<std::int64_t>(row_starts_.size())));
  CheckIoResult();
  std::string buffer(kCopyChunk, '\0');
  std::uint64_t end = spill_.size();
  for (auto start = row_starts_.rbegin(); start != row_starts_.rend(); ++start) {
    for (std::uint64_t at = *start; at < end;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyChunk, end - at));
      spill_.ReadAt(at, buffer.data(), n);
      PutText(out_, std::string_view(buffer.data(), n));
      CheckIoResult();
      at += n;
    }
    end = *start;
  }
}

}  // namespace pelmoro

#include "outputs/formats/asc_output.h"

#include <algorithm>
#include <vector>

#include "outputs/formats/byte_count.h"
#include "outputs/formats/grid_millimetres.h"

namespace pelmoro {

void AppendAscRow(std::span<const std::int32_t> heights, std::string& out) {
  constexpr std::size_t kPointsPerChunk = 256;
  char chunk[kPointsPerChunk * (kLongestMillimetres + 1) + 2];
  for (std::size_t done = 0; done < heights.size();) {
    const std::size_t end = std::min(heights.size(), done + kPointsPerChunk);
    char* p = chunk;
    for (std::size_t k = done; k < end; ++k) {
      if (k != 0) *p++ = ' ';  // a space before every value but the row's first
      p += FormatMillimetresTo(p, heights[k]);
    }
    out.append(chunk, static_cast<std::size_t>(p - chunk));
    done = end;
  }
  out.append("\r\n", 2);
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

void AscOutput::Finish() {
  const std::int64_t rows = heights_.rows();
  PutText(out_, AscHeader(lattice_, rows));
  CheckIoResult();
  // One row's line at a time, in a string that keeps its room: fresh memory
  // costs a page fault a page to touch.
  std::string line;
  line.reserve(static_cast<std::size_t>(lattice_.columns) * (kLongestMillimetres + 1) + 2);
  std::vector<std::int32_t> row;
  for (std::int64_t r = rows - 1; r >= 0; --r) {
    heights_.ReadRow(r, row);
    line.clear();
    AppendAscRow(row, line);
    PutText(out_, line);
    CheckIoResult();
  }
}

}  // namespace pelmoro

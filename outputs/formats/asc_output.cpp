#include "outputs/formats/asc_output.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "foundation/assert.h"
#include "foundation/errors.h"
#include "outputs/formats/byte_count.h"
#include "outputs/formats/grid_in_unit.h"
#include "outputs/formats/grid_millimetres.h"

namespace pelmoro {

namespace {
constexpr std::int64_t kGridUnitsPerMm = 40;

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {  // b > 0
  return a / b - (a % b < 0 ? 1 : 0);
}
}  // namespace

void AppendAscRow(std::span<const std::int32_t> heights, const std::string& no_height,
                  std::string& out, int units) {
  if (units != kGridUnitsPerMm) {
    for (std::size_t k = 0; k < heights.size(); ++k) {
      if (k != 0) out += ' ';
      out += heights[k] == kNoHeight ? no_height : FormatInUnit(heights[k], units);
    }
    out.append("\r\n", 2);
    return;
  }
  constexpr std::size_t kPointsPerChunk = 256;
  // A NODATA text is at most as long as the longest height's.
  PELMORO_ASSERT(no_height.size() <= static_cast<std::size_t>(kLongestMillimetres));
  char chunk[kPointsPerChunk * (kLongestMillimetres + 1) + 2];
  for (std::size_t done = 0; done < heights.size();) {
    const std::size_t end = std::min(heights.size(), done + kPointsPerChunk);
    char* p = chunk;
    for (std::size_t k = done; k < end; ++k) {
      if (k != 0) *p++ = ' ';  // a space before every value but the row's first
      if (heights[k] == kNoHeight) {
        p = std::copy(no_height.begin(), no_height.end(), p);
      } else {
        p += FormatMillimetresTo(p, heights[k]);
      }
    }
    out.append(chunk, static_cast<std::size_t>(p - chunk));
    done = end;
  }
  out.append("\r\n", 2);
}

std::string AscHeader(const Lattice& lattice, std::int64_t rows, const std::string& nodata,
                      int units, std::int64_t origin_x, std::int64_t origin_y) {
  std::string header = "ncols " + std::to_string(lattice.columns) + "\r\nnrows " +
                       std::to_string(rows) + "\r\nxllcenter " +
                       FormatInUnit(lattice.x_min + origin_x, units) + "\r\nyllcenter " +
                       FormatInUnit(lattice.y_min + origin_y, units) + "\r\ncellsize " +
                       FormatInUnit(lattice.pitch, units) + "\r\n";
  if (!nodata.empty()) header += "NODATA_value " + nodata + "\r\n";
  return header;
}

std::string AscNoDataValue(std::int32_t low, int units) {
  constexpr std::int64_t kUsual = -9999;
  const std::int64_t low_mm = FloorDivide(low, units);
  return std::to_string(low_mm > kUsual ? kUsual : low_mm - 1);
}

std::uint64_t AscRowsLowerBound(const Lattice& lattice) {
  // columns values, columns - 1 spaces and CR LF: 2 * columns + 1 a row.
  const auto columns = static_cast<std::uint64_t>(lattice.columns);
  return MultiplyBytes(static_cast<std::uint64_t>(lattice.rows),
                       AddBytes(MultiplyBytes(columns, 2), 1));
}

std::uint64_t AscOutput::LeastFileBytes() const {
  // The shortest NODATA value a grid can have.
  const std::string nodata = settings_.fill ? "" : AscNoDataValue(0, settings_.units);
  return AddBytes(AscHeader(lattice_, lattice_.rows, nodata, settings_.units, settings_.origin_x,
                            settings_.origin_y)
                      .size(),
                  AscRowsLowerBound(lattice_));
}

void AscOutput::Finish() {
  const std::int64_t rows = heights_.rows();
  const int units = settings_.units;
  const bool invert = settings_.invert;
  // Depths are measured down from the highest height, so none is below 0.
  const std::int64_t high = heights_.high();
  // The floor lies below every height from above, above them from below.
  const std::int64_t lowest = std::min(heights_.low(), heights_.floor());
  if (invert && high - lowest > INT32_MAX) {
    throw Exception("the heights span more than 2^31 grid units, too much for depths");
  }
  const auto value = [&](std::int32_t z) {
    return invert ? static_cast<std::int32_t>(high - z) : z;
  };
  const std::string nodata =
      settings_.fill ? "" : AscNoDataValue(invert ? 0 : heights_.low(), units);
  const std::string no_height =
      settings_.fill ? FormatInUnit(value(heights_.floor()), units) : nodata;
  PutText(out_, AscHeader(lattice_, rows, nodata, units, settings_.origin_x, settings_.origin_y));
  CheckIoResult();
  // One row's line at a time, in a string that keeps its room: fresh memory
  // costs a page fault a page to touch.
  std::string line;
  line.reserve(static_cast<std::size_t>(lattice_.columns) * (kLongestMillimetres + 1) + 2);
  std::vector<std::int32_t> row;
  for (std::int64_t r = rows - 1; r >= 0; --r) {
    heights_.ReadRow(r, row);
    if (invert) {
      for (std::int32_t& z : row) z = z == kNoHeight ? z : value(z);
    }
    line.clear();
    AppendAscRow(row, no_height, line, units);
    PutText(out_, line);
    CheckIoResult();
  }
}

}  // namespace pelmoro

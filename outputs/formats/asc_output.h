// The height map as an ESRI ASCII grid, in the model's unit (millimetres
// unless the settings say another; the text below speaks of millimetres):
// the header lines
// ncols, nrows, xllcenter, yllcenter, cellsize and NODATA_value, then one
// line per row from the highest y down, each from the lowest x, values
// separated by a space. Every value is the exact decimal of its grid units
// / 40, with "." and without trailing zeros (1.5, 0.025, 12). A point no
// triangle covers is NODATA_value (-9999, or a whole number of millimetres
// below the map's lowest height when that is lower); with the settings'
// fill it is z min, as in the height map, and the header has no
// NODATA_value line. Lines end in CR LF, as in the height map.
//
// The rows come bottom-up, so the grid is written at Finish from the run's
// height table (2 bytes a point while the heights allow), the highest row
// first.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "foundation/text_file.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/image_settings.h"
#include "outputs/formats/map_output.h"

namespace pelmoro {

// Appends the line of a row's heights in the unit of `units` grid units
// (FormatInUnit): the values and CR LF; a kNoHeight is written as
// no_height.
void AppendAscRow(std::span<const std::int32_t> heights, const std::string& no_height,
                  std::string& out, int units = 40);

// The header lines for `rows` rows of the lattice, with the NODATA_value
// line when nodata is not empty; origin_x and origin_y (grid units) are
// added to the lower-left point's coordinates.
std::string AscHeader(const Lattice& lattice, std::int64_t rows, const std::string& nodata,
                      int units = 40, std::int64_t origin_x = 0, std::int64_t origin_y = 0);

// The NODATA value of a grid whose lowest height is low (grid units), in
// the unit of `units` grid units: -9999, or a whole number below low.
std::string AscNoDataValue(std::int32_t low, int units = 40);

// A lower bound, in bytes, of the values of every row of the lattice: one
// character a value (the shortest, as "0"), a space between values and
// CR LF after each row. Saturates at the largest uint64.
std::uint64_t AscRowsLowerBound(const Lattice& lattice);

class AscOutput : public GeoreferencedOutput {
 public:
  AscOutput(TextFile& out, const HeightRows& heights, const ImageSettings& settings = {})
      : GeoreferencedOutput(out, heights, settings) {}

  // The header for the rows scanned, then those rows, the highest first.
  void Finish() override;
  std::uint64_t LeastFileBytes() const override;
};

}  // namespace pelmoro

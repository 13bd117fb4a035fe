// Reading back what the outputs wrote, independently of the writers: PNG
// through libpng, the HZM and ESRI grid texts by plain parsing.
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelmoro::testing {

struct DecodedPng {
  std::uint32_t width = 0, height = 0;
  int bit_depth = 0;
  int color_type = -1;
  std::vector<std::uint32_t> pixels;  // gray samples, row after row from the top
  std::vector<std::uint32_t> alpha;   // the alpha samples of a gray-and-alpha image
  std::map<std::string, std::string> texts;
  std::uint32_t At(std::uint32_t column, std::uint32_t row_from_top) const {
    return pixels[static_cast<std::size_t>(row_from_top) * width + column];
  }
};

// Decodes a gray or gray-and-alpha PNG file; throws std::runtime_error when
// libpng refuses it.
DecodedPng DecodePng(const std::string& path);

struct MapPoint {
  std::int64_t x, y, z;
};

// The points of an HZM file in file order (bottom row first); throws when
// the header or a line is not as the format says.
std::vector<MapPoint> ParseHzm(const std::string& bytes);

// A grid value that is the grid's NODATA_value.
inline constexpr std::int64_t kAscNoData = INT64_MIN;

struct AscGrid {
  std::map<std::string, std::string> header;  // ncols ... cellsize, NODATA_value
  // Values in grid units (the millimetres times 40, which must be whole),
  // or kAscNoData, row after row from the top.
  std::vector<std::vector<std::int64_t>> rows;
};

// Parses an ESRI ASCII grid with CR LF line ends (the header lines are
// those that begin with a letter); throws for a value that is not an exact
// decimal of at most three places.
AscGrid ParseAsc(const std::string& bytes);

// How a PNG's levels stand for heights: by default 0 the lowest height and
// the largest sample the highest; with units, one level per grid unit.
struct PngRule {
  bool units = false;
  int bit_depth = 16;
  bool inverted = false;  // depths: z high - z for z - z low
};

// "same", or where the PNG first departs from the HZM's points at the same
// x and y (its text chunks give the lower-left point and the pitch; a point
// beyond the map counts as the map's lowest height): its depth, or a pixel
// other than the rule gives for its point's z over the PNG's own points
// (computed here in extended precision, not as the writer does).
std::string PngAgainstHzm(const DecodedPng& png, const std::vector<MapPoint>& points,
                          const PngRule& rule = {});
// "same", or where the grid first departs from the HZM's points at the same
// x and y (beyond the map: its lowest height); a NODATA value stands only
// where the map has its lowest height.
std::string AscAgainstHzm(const AscGrid& grid, const std::vector<MapPoint>& points);

}  // namespace pelmoro::testing

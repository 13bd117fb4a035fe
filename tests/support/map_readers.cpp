#include "tests/support/map_readers.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace pelmoro::testing {

namespace {

[[noreturn]] void Refuse(const std::string& why) { throw std::runtime_error(why); }

// Grid units of a decimal of millimetres with at most three places.
std::int64_t GridUnitsOf(const std::string& text) {
  std::size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  std::int64_t thousandths = 0;
  int places = -1;
  for (; at < text.size(); ++at) {
    if (text[at] == '.' && places < 0) {
      places = 0;
      continue;
    }
    if (text[at] < '0' || text[at] > '9' || places == 3) Refuse("bad value '" + text + "'");
    thousandths = thousandths * 10 + (text[at] - '0');
    if (places >= 0) ++places;
  }
  for (int p = places < 0 ? 0 : places; p < 3; ++p) thousandths *= 10;
  if (thousandths % 25 != 0) Refuse("not whole grid units: '" + text + "'");
  return (negative ? -thousandths : thousandths) / 25;
}

}  // namespace

DecodedPng DecodePng(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) Refuse("cannot open " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  DecodedPng out;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    Refuse("libpng refused " + path);
  }
  // libpng refuses images over 1,000,000 pixels a side unless told; a
  // reader of these maps must lift that, and so do the tests.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_init_io(png, file.get());
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bit_depth = png_get_bit_depth(png, info);
  out.color_type = png_get_color_type(png, info);
  png_bytepp rows = png_get_rows(png, info);
  const int bytes = out.bit_depth == 16 ? 2 : 1;
  const int channels = png_get_channels(png, info);
  for (std::uint32_t r = 0; r < out.height; ++r) {
    for (std::uint32_t c = 0; c < out.width; ++c) {
      const png_bytep p = rows[r] + static_cast<std::size_t>(c) * bytes * channels;
      out.pixels.push_back(bytes == 2 ? (p[0] << 8 | p[1]) : p[0]);
      if (channels == 2) out.alpha.push_back(bytes == 2 ? (p[2] << 8 | p[3]) : p[bytes]);
    }
  }
  png_textp texts = nullptr;
  const int count = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < count; ++i) out.texts[texts[i].key] = texts[i].text;
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

std::vector<MapPoint> ParseHzm(const std::string& bytes) {
  const std::string header = "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n";
  if (bytes.rfind(header, 0) != 0) Refuse("no HZM header");
  std::vector<MapPoint> points;
  std::size_t at = header.size();
  while (at < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) Refuse("line without CR LF");
    const std::string line = bytes.substr(at, end - at);
    at = end + 2;
    if (line == "S") continue;
    MapPoint p{};
    char tail = 0;
    if (std::sscanf(line.c_str(), "%ld,%ld,%ld%c", &p.x, &p.y, &p.z, &tail) != 3) {
      Refuse("bad point line '" + line + "'");
    }
    points.push_back(p);
  }
  return points;
}

AscGrid ParseAsc(const std::string& bytes) {
  AscGrid grid;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) Refuse("line without CR LF");
    std::istringstream line(bytes.substr(at, end - at));
    const bool header = std::isalpha(static_cast<unsigned char>(bytes[at])) != 0;
    at = end + 2;
    std::string word;
    if (header) {
      if (!grid.rows.empty()) Refuse("a header line after the values");
      std::string value;
      line >> word >> value;
      grid.header[word] = value;
      continue;
    }
    const auto nodata = grid.header.find("NODATA_value");
    std::vector<std::int64_t> row;
    while (line >> word) {
      const bool missing = nodata != grid.header.end() && word == nodata->second;
      row.push_back(missing ? kAscNoData : GridUnitsOf(word));
    }
    grid.rows.push_back(row);
  }
  return grid;
}

namespace {

std::string Where(std::int64_t x, std::int64_t y, std::int64_t z) {
  return "point (" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + ")";
}

// The HZM's heights by x and y, and the lowest of them: what a point
// beyond the map has.
struct HzmHeights {
  std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> at;
  std::int64_t lowest = 0;
  std::int64_t Of(std::int64_t x, std::int64_t y) const {
    const auto it = at.find({x, y});
    return it == at.end() ? lowest : it->second;
  }
};

HzmHeights HeightsOf(const std::vector<MapPoint>& points) {
  HzmHeights h;
  h.lowest = points.empty() ? 0 : points.front().z;
  for (const MapPoint& p : points) {
    h.at[{p.x, p.y}] = p.z;
    h.lowest = std::min(h.lowest, p.z);
  }
  return h;
}

}  // namespace

std::string PngAgainstHzm(const DecodedPng& png, const std::vector<MapPoint>& points,
                          const PngRule& rule) {
  if (png.bit_depth != rule.bit_depth || png.color_type != 0 || png.width == 0) {
    return "depth " + std::to_string(png.bit_depth) + ", color type " +
           std::to_string(png.color_type) + ", not " + std::to_string(rule.bit_depth) + "-bit gray";
  }
  const HzmHeights map = HeightsOf(points);
  const std::int64_t x0 = GridUnitsOf(png.texts.at("x_mm"));
  const std::int64_t y0 = GridUnitsOf(png.texts.at("y_mm"));
  const std::int64_t pitch = GridUnitsOf(png.texts.at("pitch_mm"));
  const auto z_at = [&](std::uint32_t c, std::uint32_t top) {
    return map.Of(x0 + c * pitch, y0 + (png.height - 1 - top) * pitch);
  };
  std::int64_t low = z_at(0, 0), high = low;
  for (std::uint32_t top = 0; top < png.height; ++top) {
    for (std::uint32_t c = 0; c < png.width; ++c) {
      low = std::min(low, z_at(c, top));
      high = std::max(high, z_at(c, top));
    }
  }
  const long double largest = std::ldexp(1.0L, rule.bit_depth) - 1;
  for (std::uint32_t top = 0; top < png.height; ++top) {
    for (std::uint32_t c = 0; c < png.width; ++c) {
      const std::int64_t z = z_at(c, top);
      const long double above = static_cast<long double>(rule.inverted ? high - z : z - low);
      long double expected = above;
      if (!rule.units)
        expected = high == low ? 0 : std::floor(above * largest / (high - low) + 0.5L);
      const std::uint32_t got = png.At(c, top);
      if (got != static_cast<std::uint32_t>(expected)) {
        return Where(x0 + c * pitch, y0 + (png.height - 1 - top) * pitch, z) + ": pixel " +
               std::to_string(got) + ", not " +
               std::to_string(static_cast<std::uint32_t>(expected));
      }
    }
  }
  return "same";
}

std::string AscAgainstHzm(const AscGrid& grid, const std::vector<MapPoint>& points) {
  const HzmHeights map = HeightsOf(points);
  const std::int64_t x0 = GridUnitsOf(grid.header.at("xllcenter"));
  const std::int64_t y0 = GridUnitsOf(grid.header.at("yllcenter"));
  const std::int64_t pitch = GridUnitsOf(grid.header.at("cellsize"));
  const auto columns = std::stoul(grid.header.at("ncols"));
  const auto rows = std::stoul(grid.header.at("nrows"));
  if (grid.rows.size() != rows) return "rows " + std::to_string(grid.rows.size());
  for (std::size_t top = 0; top < rows; ++top) {
    const std::vector<std::int64_t>& row = grid.rows[top];
    if (row.size() != columns) return "row of " + std::to_string(row.size()) + " values";
    for (std::size_t c = 0; c < columns; ++c) {
      const std::int64_t x = x0 + static_cast<std::int64_t>(c) * pitch;
      const std::int64_t y = y0 + static_cast<std::int64_t>(rows - 1 - top) * pitch;
      const std::int64_t z = map.Of(x, y);
      if (row[c] == kAscNoData && z == map.lowest) continue;
      if (row[c] != z) return Where(x, y, z) + ": grid value " + std::to_string(row[c]) + "/40";
    }
  }
  return "same";
}

}  // namespace pelmoro::testing

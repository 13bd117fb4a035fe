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

// Columns and rows of the lattice the points lie on.
std::pair<std::size_t, std::size_t> ShapeOf(const std::vector<MapPoint>& points) {
  std::size_t columns = 0;
  while (columns < points.size() && points[columns].y == points.front().y) ++columns;
  return {columns, columns == 0 ? 0 : points.size() / columns};
}

std::string Where(std::size_t index, const MapPoint& p) {
  return "point " + std::to_string(index) + " (" + std::to_string(p.x) + "," + std::to_string(p.y) +
         "," + std::to_string(p.z) + ")";
}

}  // namespace

std::string PngAgainstHzm(const DecodedPng& png, const std::vector<MapPoint>& points,
                          const PngRule& rule) {
  const auto [columns, rows] = ShapeOf(points);
  if (png.width != columns || png.height != rows || png.bit_depth != rule.bit_depth ||
      png.color_type != 0) {
    return "size " + std::to_string(png.width) + "x" + std::to_string(png.height) + ", depth " +
           std::to_string(png.bit_depth) + ", not " + std::to_string(columns) + "x" +
           std::to_string(rows) + " " + std::to_string(rule.bit_depth) + "-bit gray";
  }
  std::int64_t low = points.front().z, high = low;
  for (const MapPoint& p : points) {
    low = std::min(low, p.z);
    high = std::max(high, p.z);
  }
  const long double top = std::ldexp(1.0L, rule.bit_depth) - 1;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const long double above = static_cast<long double>(points[i].z - low);
    long double expected = above;
    if (!rule.units) expected = high == low ? 0 : std::floor(above * top / (high - low) + 0.5L);
    const std::uint32_t got = png.At(static_cast<std::uint32_t>(i % columns),
                                     static_cast<std::uint32_t>(rows - 1 - i / columns));
    if (got != static_cast<std::uint32_t>(expected)) {
      return Where(i, points[i]) + ": pixel " + std::to_string(got) + ", not " +
             std::to_string(static_cast<std::uint32_t>(expected));
    }
  }
  return "same";
}

std::string AscAgainstHzm(const AscGrid& grid, const std::vector<MapPoint>& points) {
  const auto [columns, rows] = ShapeOf(points);
  std::int64_t lowest = points.front().z;
  for (const MapPoint& p : points) lowest = std::min(lowest, p.z);
  if (grid.header.at("ncols") != std::to_string(columns) ||
      grid.header.at("nrows") != std::to_string(rows) || grid.rows.size() != rows) {
    return "shape " + grid.header.at("ncols") + "x" + grid.header.at("nrows") + ", not " +
           std::to_string(columns) + "x" + std::to_string(rows);
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    const std::vector<std::int64_t>& row = grid.rows[rows - 1 - i / columns];
    if (row.size() != columns) return "row of " + std::to_string(row.size()) + " values";
    if (row[i % columns] == kAscNoData && points[i].z == lowest) continue;
    if (row[i % columns] != points[i].z) {
      return Where(i, points[i]) + ": grid value " + std::to_string(row[i % columns]) + "/40";
    }
  }
  return "same";
}

}  // namespace pelmoro::testing

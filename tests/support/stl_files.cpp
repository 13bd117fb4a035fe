#include "tests/support/stl_files.h"

#include <cstdio>
#include <cstring>

namespace pelmoro::testing {

namespace {

void AppendLittleEndian(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void AppendFloat(std::string& out, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  AppendLittleEndian(out, bits);
}

// A float32 as a decimal that reads back to it exactly: %.60g prints the
// whole binary value for every magnitude the tests use.
std::string ExactDecimal(float value) {
  char text[128];
  std::snprintf(text, sizeof text, "%.60g", static_cast<double>(value));
  return text;
}

}  // namespace

std::string BinaryStl(const std::vector<FloatTriangle>& triangles, std::string_view header,
                      std::optional<std::uint32_t> count) {
  std::string out(header.substr(0, 80));
  out.resize(80, ' ');
  AppendLittleEndian(out, count.value_or(static_cast<std::uint32_t>(triangles.size())));
  for (const FloatTriangle& t : triangles) {
    for (int i = 0; i < 3; ++i) AppendFloat(out, 0.0f);
    for (float v : t) AppendFloat(out, v);
    out += std::string(2, '\0');
  }
  return out;
}

std::string AsciiStl(const std::vector<FloatTriangle>& triangles) {
  std::string out = "solid test\n";
  for (const FloatTriangle& t : triangles) {
    out += "  facet normal 0 0 1\n    outer loop\n";
    for (int k = 0; k < 3; ++k) {
      out += "      vertex " + ExactDecimal(t[3 * k]) + " " + ExactDecimal(t[3 * k + 1]) + " " +
             ExactDecimal(t[3 * k + 2]) + "\n";
    }
    out += "    endloop\n  endfacet\n";
  }
  return out + "endsolid test\n";
}

std::vector<FloatTriangle> BinaryStlTriangles(std::string_view bytes) {
  std::vector<FloatTriangle> triangles;
  for (std::size_t at = 84; at + 50 <= bytes.size(); at += 50) {
    FloatTriangle t;
    std::memcpy(t.data(), bytes.data() + at + 12, sizeof(float) * t.size());
    triangles.push_back(t);
  }
  return triangles;
}

}  // namespace pelmoro::testing

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

namespace {

// Two triangles of the quadrilateral a, b, c, d (in order round it).
void AddQuad(std::vector<FloatTriangle>& out, const std::array<float, 3>& a,
             const std::array<float, 3>& b, const std::array<float, 3>& c,
             const std::array<float, 3>& d) {
  out.push_back({a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]});
  out.push_back({a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2]});
}

// The four vertical walls of the square lo..hi in x and y, from z0 to z1.
void AddWalls(std::vector<FloatTriangle>& out, float lo, float hi, float z0, float z1) {
  const float corners[5][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}, {lo, lo}};
  for (int k = 0; k < 4; ++k) {
    const float* p = corners[k];
    const float* q = corners[k + 1];
    AddQuad(out, {p[0], p[1], z0}, {q[0], q[1], z0}, {q[0], q[1], z1}, {p[0], p[1], z1});
  }
}

}  // namespace

std::vector<FloatTriangle> PocketedBoxTriangles() {
  constexpr float kLo = 2, kHi = 12, kPocketLo = 5, kPocketHi = 9;
  constexpr float kBase = 1, kTop = 6, kCeiling = 3;
  std::vector<FloatTriangle> out;
  AddQuad(out, {kLo, kLo, kTop}, {kHi, kLo, kTop}, {kHi, kHi, kTop}, {kLo, kHi, kTop});
  AddWalls(out, kLo, kHi, kBase, kTop);
  // The underside around the pocket: four strips.
  AddQuad(out, {kLo, kLo, kBase}, {kHi, kLo, kBase}, {kHi, kPocketLo, kBase},
          {kLo, kPocketLo, kBase});
  AddQuad(out, {kLo, kPocketHi, kBase}, {kHi, kPocketHi, kBase}, {kHi, kHi, kBase},
          {kLo, kHi, kBase});
  AddQuad(out, {kLo, kPocketLo, kBase}, {kPocketLo, kPocketLo, kBase},
          {kPocketLo, kPocketHi, kBase}, {kLo, kPocketHi, kBase});
  AddQuad(out, {kPocketHi, kPocketLo, kBase}, {kHi, kPocketLo, kBase}, {kHi, kPocketHi, kBase},
          {kPocketHi, kPocketHi, kBase});
  AddWalls(out, kPocketLo, kPocketHi, kBase, kCeiling);
  AddQuad(out, {kPocketLo, kPocketLo, kCeiling}, {kPocketHi, kPocketLo, kCeiling},
          {kPocketHi, kPocketHi, kCeiling}, {kPocketLo, kPocketHi, kCeiling});
  return out;
}

}  // namespace pelmoro::testing

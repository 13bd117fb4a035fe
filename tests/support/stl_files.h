// STL file contents built in code for the tests: binary files of given
// triangles, ASCII files of the same numbers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmoro::testing {

// Nine coordinates: vertex 1 x, y, z, vertex 2 ..., in file order.
using FloatTriangle = std::array<float, 9>;

// A binary STL file: the header text padded with spaces to 80 bytes (cut
// when longer), the count (the number of triangles unless given), and one
// record per triangle with a zero normal and zero attribute bytes.
std::string BinaryStl(const std::vector<FloatTriangle>& triangles, std::string_view header = "",
                      std::optional<std::uint32_t> count = std::nullopt);

// An ASCII STL file ("solid", facets, "endsolid") of the same triangles,
// every number printed as the exact decimal value of its float32.
std::string AsciiStl(const std::vector<FloatTriangle>& triangles);

// The triangles of a binary STL file's records (no checks: test data).
std::vector<FloatTriangle> BinaryStlTriangles(std::string_view bytes);

}  // namespace pelmoro::testing

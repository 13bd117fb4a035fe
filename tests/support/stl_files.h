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

// A closed box with a pocket in its underside, in millimetres: the box
// spans x and y 2 to 12 and z 1 to 6; the pocket x and y 5 to 9, up to
// z 3. Seen from above it is 6 high over the whole box; from below 1 around
// the pocket and 3 inside it. Its top face comes first in the file, so the
// first covering triangle anywhere over the box is the top's.
std::vector<FloatTriangle> PocketedBoxTriangles();

}  // namespace pelmoro::testing

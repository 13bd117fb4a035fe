// The height-map format's worked example: one triangle, (0.1, 0.1, 1),
// (2.1, 0.1, 1), (0.1, 2.1, 1) mm, and its map at 1 mm (40 grid units),
// "Surface" off: three rows of three points. Its run makes four message
// passes: one after the triangle, one after each row.
#pragma once

namespace pelmoro::testing {

inline constexpr char kWorkedStl[] =
    "solid worked\n"
    " facet normal 0 0 1\n"
    "  outer loop\n"
    "   vertex 0.1 0.1 1\n"
    "   vertex 2.1 0.1 1\n"
    "   vertex 0.1 2.1 1\n"
    "  endloop\n"
    " endfacet\n"
    "endsolid worked\n";

inline constexpr char kWorkedHzm[] =
    "VERSION=6\r\nT\r\nO\r\nO\r\nL\r\n1\r\nS\r\n"
    "0,0,0\r\n40,0,0\r\n80,0,0\r\nS\r\n"
    "0,40,0\r\n40,40,40\r\n80,40,0\r\nS\r\n"
    "0,80,0\r\n40,80,0\r\n80,80,0\r\nS\r\n";

}  // namespace pelmoro::testing

// The plan-view coverage test and the plane height of one stored triangle.
#pragma once

#include <cstdint>

#include "foundation/geometry_store.h"

namespace pelmoro {

// True when triangle i covers grid point (x, y) in plan view, by the area-sum
// test: the three sub-triangles the point forms with the edges, measured
// with TriangleArea and summed into an area key, must equal the triangle's
// area key exactly. Triangles with area key 0 cover nothing.
bool TriangleCovers(const GeometryStore& store, std::int32_t i, std::int32_t x, std::int32_t y);

// Height of the plane through triangle i at (x, y), truncated toward zero
// (grid units); 0 when the plan determinant is 0.
std::int32_t TriangleHeightAt(const GeometryStore& store, std::int32_t i, std::int32_t x,
                              std::int32_t y);

}  // namespace pelmoro

// The plane through a stored triangle's three vertices, in whole numbers.
#pragma once

#include "foundation/geometry_store.h"

namespace pelmoro {

// The normal (vertex 1 - vertex 0) x (vertex 2 - vertex 0):
//   D  = (x1 - x0)(y2 - y0) - (y1 - y0)(x2 - x0)   (twice the signed plan area)
//   Nx = (y1 - y0)(z2 - z0) - (z1 - z0)(y2 - y0)
//   Ny = (z1 - z0)(x2 - x0) - (x1 - x0)(z2 - z0)
// Int must hold products of two coordinate differences (33 bits each)
// exactly: 64 bits for small triangles, 128 for any.
template <typename Int>
struct PlaneNormal {
  Int d, nx, ny;
};

template <typename Int>
PlaneNormal<Int> ComputePlaneNormal(const Triangle& t) {
  const Vertex& p0 = t.v[0];
  const Vertex& p1 = t.v[1];
  const Vertex& p2 = t.v[2];
  const Int x10 = Int{p1.x} - p0.x, y10 = Int{p1.y} - p0.y, z10 = Int{p1.z} - p0.z;
  const Int x20 = Int{p2.x} - p0.x, y20 = Int{p2.y} - p0.y, z20 = Int{p2.z} - p0.z;
  return {x10 * y20 - y10 * x20, y10 * z20 - z10 * y20, z10 * x20 - x10 * z20};
}

}  // namespace pelmoro

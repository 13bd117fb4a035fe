// The side a scan sees the model from: from above (every point takes the
// highest covering plane, never below z min) or from below (the lowest
// covering plane, never above z max), in the same x-y orientation.
#pragma once

#include <cstdint>

#include "foundation/geometry_store.h"

namespace pelmoro {

enum class ScanSide : std::uint8_t { kTop, kBottom };

// Why the sweep sees the bottom as the top of the model mirrored in z.
//
// Mirroring negates every vertex z and nothing else. Coverage reads x and y
// alone, so the same triangles cover the same points. The plane terms D
// (x and y alone) stay, Nx, Ny, S = Nx (x1 - x) + Ny (y1 - y) and z1 D
// negate exactly as whole numbers; the extended sum N = z1 D + S, its
// rounding to a double, the quotient N / D and the truncation toward zero
// are each odd functions (rounding to nearest, ties to even, is symmetric
// in sign), so the mirrored triangle's height is exactly the negated
// height, bit for bit, by the plain formula and by the sweep's own exact
// one. Negation reverses the order, so the lowest covering height is the
// negated highest mirrored one, and "never above z max" is "never below
// -z max". The one value negation cannot reach is -2^31, so a model from
// below must have no vertex there (SideFits); its heights then lie above
// -2^31 too, and the negations are exact. Heights are negated modulo 2^32
// (NegatedHeight), which is what the 32-bit height field keeps of them.

// -h modulo 2^32: exact for every h but -2^31.
inline std::int32_t NegatedHeight(std::int32_t h) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(h));
}

// The triangle as a scan from `side` measures it: from below, mirrored.
inline Triangle SidedTriangle(const Triangle& t, ScanSide side) {
  if (side == ScanSide::kTop) return t;
  Triangle m = t;
  for (Vertex& v : m.v) v.z = NegatedHeight(v.z);
  return m;
}

// z max of triangles 0..count-1 of the store: their highest vertex, or 0
// when none lies above 0 (the bounds hold the origin, as z min does; grid
// units). An unfinished triangle's vertices, which z min counts, are not
// stored triangles and play no part.
std::int32_t HighestZ(const GeometryStore& store, std::int32_t count);

// Whether a scan from `side` can see triangles 0..count-1: from below, no
// vertex may lie at -2^31 grid units, the one height that has no mirror.
bool SideFits(const GeometryStore& store, std::int32_t count, ScanSide side);

// The height of a point no triangle covers, seen from `side`: z min from
// above, z max from below (grid units).
std::int32_t UncoveredHeight(const GeometryStore& store, std::int32_t count, ScanSide side);

}  // namespace pelmoro

// Vertex order and plan-view metrics of a stored triangle.
#pragma once

#include <cstddef>

#include "foundation/geometry_store.h"

namespace pelmoro {

// Puts the vertices in order of y, largest first, by three compare-exchange
// steps (0-1, 0-2, 1-2); equal y values never exchange.
void OrderTriangleVertices(Triangle& t);

// Area of a triangle with side lengths a, b, c by Heron's formula: the
// half-perimeter ((a + b) + c) / 2 rounded to a double, the product
// (((s - a) * s) * (s - b)) * (s - c) in extended precision, and the square
// root of its absolute value rounded to a double. The order of the
// arguments matters in the last bits.
double TriangleArea(double a, double b, double c);

// Area key of an area: WholePart(area * 1000 + 0.5) in extended precision,
// held as a double (whole thousandths of a square grid unit, half up).
double AreaKey(long double area);

// Plan-view length between two points (grid units): the square root of the
// exact integer sum of squares, taken in extended precision, held as a
// double.
double PlanDistance(std::int64_t dx, std::int64_t dy);

// The four metrics of an ordered triangle: edges v0-v1, v1-v2, v2-v0 and
// the area key of TriangleArea(edge0, edge1, edge2).
TriangleMetrics ComputeTriangleMetrics(const Triangle& t);

// The metrics of n ordered triangles, each the same as
// ComputeTriangleMetrics gives. Taken in steps over a run of triangles (the
// edges of all, then their areas, then their keys): one triangle's measures
// are a chain of dependent extended-precision steps too long for the
// processor to overlap with the next triangle's, while a step's chains for
// consecutive triangles overlap. About half the time of one at a time.
void ComputeTriangleMetrics(const Triangle* triangles, TriangleMetrics* metrics, std::size_t n);

// Completes row `row` of the store once its three vertices are in place, as
// every reader does: orders them by y and stores the four metrics.
void StoreTriangle(GeometryStore& store, std::size_t row);
// Writes t into row `row` (which must exist) and completes it as above.
void StoreTriangle(GeometryStore& store, std::size_t row, const Triangle& t);

}  // namespace pelmoro

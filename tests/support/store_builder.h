// Models built in code, stored exactly as the readers store them. Shared by
// the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/geometry_store.h"

namespace pelmoro::testing {

// Resets the bounds and empties the store for AddTriangle.
void StartEmptyStore(GeometryStore& store);

// Stores t as triangle `count` as a reader does (the bounds widened by its
// vertices in the given order, the vertices ordered by y, the metrics) and
// counts it.
void AddTriangle(GeometryStore& store, std::int32_t& count, const Triangle& t);

// A store of just these triangles, in this order; returns their count.
std::int32_t FillStore(GeometryStore& store, const std::vector<Triangle>& triangles);

}  // namespace pelmoro::testing

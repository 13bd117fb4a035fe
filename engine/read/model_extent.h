// Where a model's own vertices lie, apart from the bounds' origin.
#pragma once

#include <cstdint>

#include "foundation/geometry_store.h"

namespace pelmoro {

// The smallest box around the vertices of triangles 0..count-1 (grid
// units). The store's bounds always take in the origin; this does not.
struct ModelExtent {
  bool empty = true;  // no triangle
  Vertex min, max;
};

ModelExtent MeasureModelExtent(const GeometryStore& store, std::int32_t count);

// The larger of the two plan-view sides (x and y), in grid units.
std::int64_t PlanViewSize(const ModelExtent& extent);

}  // namespace pelmoro

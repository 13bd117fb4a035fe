#include "engine/read/model_extent.h"

#include <algorithm>

namespace pelmoro {

ModelExtent MeasureModelExtent(const GeometryStore& store, std::int32_t count) {
  ModelExtent extent;
  for (std::int32_t t = 0; t < count; ++t) {
    for (const Vertex& v : store.triangle(static_cast<std::size_t>(t)).v) {
      if (extent.empty) {
        extent.min = extent.max = v;
        extent.empty = false;
      }
      extent.min = {std::min(extent.min.x, v.x), std::min(extent.min.y, v.y),
                    std::min(extent.min.z, v.z)};
      extent.max = {std::max(extent.max.x, v.x), std::max(extent.max.y, v.y),
                    std::max(extent.max.z, v.z)};
    }
  }
  return extent;
}

std::int64_t PlanViewSize(const ModelExtent& extent) {
  if (extent.empty) return 0;
  return std::max(std::int64_t{extent.max.x} - extent.min.x,
                  std::int64_t{extent.max.y} - extent.min.y);
}

}  // namespace pelmoro

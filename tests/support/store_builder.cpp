#include "tests/support/store_builder.h"

#include "engine/triangle_metrics.h"

namespace pelmoro::testing {

void StartEmptyStore(GeometryStore& store) {
  store.ResetBounds();
  store.SetCapacity(0);
}

void AddTriangle(GeometryStore& store, std::int32_t& count, const Triangle& t) {
  const auto row = static_cast<std::size_t>(count);
  store.EnsureRow(row);
  for (const Vertex& v : t.v) store.WidenBounds(v);
  StoreTriangle(store, row, t);
  ++count;
}

std::int32_t FillStore(GeometryStore& store, const std::vector<Triangle>& triangles) {
  StartEmptyStore(store);
  std::int32_t count = 0;
  for (const Triangle& t : triangles) AddTriangle(store, count, t);
  return count;
}

}  // namespace pelmoro::testing

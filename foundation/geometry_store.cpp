#include "foundation/geometry_store.h"

#include <cstdint>
#include <type_traits>

#include "foundation/mapped_table.h"

namespace pelmoro {

static_assert(std::is_trivially_copyable_v<Triangle> && sizeof(Triangle) == 36);
static_assert(std::is_trivially_copyable_v<TriangleMetrics> && sizeof(TriangleMetrics) == 32);

GeometryStore::~GeometryStore() {
  // Released in the reverse order of their creation: metrics, then triangles.
  ResizeMappedTable(metrics_, rows_ * sizeof(TriangleMetrics), 0);
  ResizeMappedTable(triangles_, rows_ * sizeof(Triangle), 0);
}

void GeometryStore::Resize(std::size_t rows) {
  triangles_ = static_cast<Triangle*>(
      ResizeMappedTable(triangles_, rows_ * sizeof(Triangle), rows * sizeof(Triangle)));
  try {
    metrics_ = static_cast<TriangleMetrics*>(ResizeMappedTable(
        metrics_, rows_ * sizeof(TriangleMetrics), rows * sizeof(TriangleMetrics)));
  } catch (...) {
    // Keep both tables the same length.
    triangles_ = static_cast<Triangle*>(
        ResizeMappedTable(triangles_, rows * sizeof(Triangle), rows_ * sizeof(Triangle)));
    throw;
  }
  rows_ = rows;
}

void GeometryStore::SetCapacity(std::size_t rows) { Resize(rows); }

void GeometryStore::EnsureRow(std::size_t row, std::size_t hint) {
  if (row < rows_) return;
  std::size_t wanted = row + 1;
  if (hint > wanted) wanted = hint;
  // At least half again as many rows, so growth stays amortised.
  if (wanted < rows_ + rows_ / 2 + 16) wanted = rows_ + rows_ / 2 + 16;
  Resize(wanted);
}

}  // namespace pelmoro

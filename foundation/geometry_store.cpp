#include "foundation/geometry_store.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace pelmoro {

static_assert(std::is_trivially_copyable_v<Triangle> && sizeof(Triangle) == 36);
static_assert(std::is_trivially_copyable_v<TriangleMetrics> && sizeof(TriangleMetrics) == 32);

namespace {

// Resizes a table of plain rows with realloc, which moves large tables by
// remapping pages instead of copying, so growing never holds two copies.
template <typename Row>
Row* ResizeRows(Row* rows, std::size_t old_count, std::size_t new_count) {
  if (new_count == 0) {
    std::free(rows);
    return nullptr;
  }
  void* grown = std::realloc(rows, new_count * sizeof(Row));
  if (grown == nullptr) throw std::bad_alloc();
  Row* result = static_cast<Row*>(grown);
  if (new_count > old_count) {
    std::memset(static_cast<void*>(result + old_count), 0, (new_count - old_count) * sizeof(Row));
  }
  return result;
}

}  // namespace

GeometryStore::~GeometryStore() {
  // Released in the reverse order of their creation: metrics, then triangles.
  std::free(metrics_);
  std::free(triangles_);
}

void GeometryStore::WidenBounds(const Vertex& v) {
  if (v.x > bounds_.x_max) {
    bounds_.x_max = v.x;
  } else if (v.x < bounds_.x_min) {
    bounds_.x_min = v.x;
  }
  if (v.y > bounds_.y_max) {
    bounds_.y_max = v.y;
  } else if (v.y < bounds_.y_min) {
    bounds_.y_min = v.y;
  }
  if (v.z < bounds_.z_min) bounds_.z_min = v.z;
}

void GeometryStore::Resize(std::size_t rows) {
  triangles_ = ResizeRows(triangles_, rows_, rows);
  try {
    metrics_ = ResizeRows(metrics_, rows_, rows);
  } catch (...) {
    // Keep both tables the same length.
    triangles_ = ResizeRows(triangles_, rows, rows_);
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

// The geometry store: the triangle table, the triangle metrics table and the
// model bounds of one conversion run. Coordinates are grid units (1/40 mm).
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/assert.h"

namespace pelmoro {

struct Vertex {
  std::int32_t x = 0, y = 0, z = 0;
};

// Vertices ordered by y, largest first, once the triangle is complete.
struct Triangle {
  Vertex v[3];
};

// Plan-view measures of one triangle, computed once when it is stored.
struct TriangleMetrics {
  double edge[3] = {0, 0, 0};  // lengths v0-v1, v1-v2, v2-v0 (grid units)
  double area_key = 0;         // area in whole thousandths of a square grid unit
};

struct ModelBounds {
  std::int32_t x_min = 0, x_max = 0, y_min = 0, y_max = 0, z_min = 0;
};

class GeometryStore {
 public:
  GeometryStore() = default;
  ~GeometryStore();
  GeometryStore(const GeometryStore&) = delete;
  GeometryStore& operator=(const GeometryStore&) = delete;

  // Sets all five bounds to 0.
  void ResetBounds() { bounds_ = ModelBounds{}; }
  // Takes one vertex into the bounds: x max, else x min; y max, else y min;
  // z min.
  void WidenBounds(const Vertex& v);

  // Gives both tables `rows` rows, keeping the rows present up to the smaller
  // of the old and new counts and zero-filling new ones.
  void SetCapacity(std::size_t rows);
  // Grows both tables (never shrinks) so that row `row` exists; hint is a
  // row count the caller expects to need.
  void EnsureRow(std::size_t row, std::size_t hint = 0);
  std::size_t capacity() const { return rows_; }

  // Row i of a table; i < capacity().
  Triangle& triangle(std::size_t i) {
    PELMORO_ASSERT(i < rows_);
    return triangles_[i];
  }
  const Triangle& triangle(std::size_t i) const {
    PELMORO_ASSERT(i < rows_);
    return triangles_[i];
  }
  TriangleMetrics& metrics(std::size_t i) {
    PELMORO_ASSERT(i < rows_);
    return metrics_[i];
  }
  const TriangleMetrics& metrics(std::size_t i) const {
    PELMORO_ASSERT(i < rows_);
    return metrics_[i];
  }

  ModelBounds& bounds() { return bounds_; }
  const ModelBounds& bounds() const { return bounds_; }

 private:
  void Resize(std::size_t rows);

  Triangle* triangles_ = nullptr;
  TriangleMetrics* metrics_ = nullptr;
  std::size_t rows_ = 0;
  ModelBounds bounds_;
};

// Inline: every reader calls it three times a triangle.
inline void GeometryStore::WidenBounds(const Vertex& v) {
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

}  // namespace pelmoro

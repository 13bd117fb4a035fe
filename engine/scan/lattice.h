// The square lattice a scan walks over the model in plan view: columns from
// x min and rows from y min, in steps of the pitch, up to x max and y max.
#pragma once

#include <cstdint>

#include "foundation/assert.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

struct Lattice {
  std::int32_t x_min = 0, y_min = 0;  // the first column's x, the first row's y
  std::int32_t y_max = 0;             // the bounds' y max, which progress divides by
  int pitch = 1;                      // grid units, 1..255
  std::int64_t columns = 1;           // points per row
  std::int64_t rows = 1;              // rows of a complete scan
  // A window of the whole lattice (the images' crop): its progress is the
  // share of its own rows done, since its y max is no bound of the model's.
  bool window = false;

  std::int64_t X(std::int64_t column) const { return x_min + column * pitch; }
  std::int64_t Y(std::int64_t row) const { return y_min + row * pitch; }
  std::int64_t points() const { return columns * rows; }
  bool operator==(const Lattice&) const = default;
};

// The lattice over the bounds: floor((max - min) / pitch) + 1 columns and
// rows, counted in 64 bits (bounds are 32-bit, so neither count wraps).
// pitch: 1..255; bounds with min <= max, as stored bounds always are (they
// hold 0).
Lattice LatticeOver(const ModelBounds& bounds, int pitch);

// The progress shown after a row: TruncateReal(next_y / y_max * 100) in
// extended precision, kept within the int range. With y max = 0 (nothing
// above y = 0) the quotient has no value: 0 before the rows pass y = 0,
// 100 after.
int ScanProgress(std::int64_t next_y, std::int32_t y_max);

// The progress shown after `written` of a lattice's rows, by its kind: a
// window counts its own rows (written * 100 / rows, rounded down), the
// whole lattice ScanProgress of the next row's y.
int LatticeProgress(const Lattice& lattice, std::int64_t written);

// Floor and ceiling of a / pitch for |a| < 2^40 (the distance of a
// coordinate from a lattice line, in grid units), by a product with the
// pitch's reciprocal (inverse = 1.0 / pitch; a caller that divides by the
// same pitch often keeps it) instead of a slower integer division. The
// product is within 2^40 * 2^-51 of a / pitch, so its whole part is the
// floor or one either side of it; the remainder tells which.
inline std::int64_t FloorByPitch(std::int64_t a, int pitch, double inverse) {
  constexpr std::int64_t kReach = std::int64_t{1} << 40;
  PELMORO_ASSERT(a > -kReach && a < kReach && pitch >= 1 && pitch <= 255);
  const auto t = static_cast<std::int64_t>(static_cast<double>(a) * inverse);
  const std::int64_t r = a - t * pitch;
  return t - (r < 0 ? 1 : 0) + (r >= pitch ? 1 : 0);
}

inline std::int64_t CeilByPitch(std::int64_t a, int pitch, double inverse) {
  return -FloorByPitch(-a, pitch, inverse);
}

inline std::int64_t FloorByPitch(std::int64_t a, int pitch) {
  return FloorByPitch(a, pitch, 1.0 / pitch);
}

inline std::int64_t CeilByPitch(std::int64_t a, int pitch) {
  return CeilByPitch(a, pitch, 1.0 / pitch);
}

}  // namespace pelmoro

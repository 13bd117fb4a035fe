// The binary STL reader: 50-byte triangle records into the geometry store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/read/grid_shift.h"
#include "engine/read/grid_units.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"
#include "foundation/text_file.h"

namespace pelmoro {

// Reads a binary STL file (80-byte header, little-endian uint32 count n, n
// records of normal, three vertices and two attribute bytes) in one pass:
// each float32 coordinate becomes TruncateReal(v * units_per_file_unit +
// 0.5) grid units as in the ASCII reader, the vertices are stored in file
// order and widen the bounds one by one, then each triangle is ordered and
// measured. Normals and attribute bytes are ignored. The tables are sized
// from n once. After each triangle: progress by 128-byte blocks taken,
// pending messages, the stop request. Expects the bounds to be reset.
// Returns the triangles stored. Raises, before anything is allocated,
// ETruncatedStl (or ENotStlFile) when the size is not 84 + 50 n, and
// ERangeError for more than 2^31 - 1 triangles; while reading,
// EConvertError for a NaN or infinity and ERangeError for a coordinate
// outside the grid range, naming the triangle and field; EInOutError.
// With a shift, x and y are converted by ToShiftedGridUnits.
std::int32_t ReadBinaryStlVertices(GeometryStore& store, const std::string& file_name,
                                   RunDriver& driver,
                                   int units_per_file_unit = kGridUnitsPerMillimetre,
                                   const GridShift& shift = {});

// The same from a stream open for reading (a pipe, a device), whose first
// bytes, head, were read already. Its size cannot be known beforehand: the
// tables grow as records come, the progress stays at 0, a stream that ends
// before the count's last record raises ETruncatedStl and one with bytes
// after it ENotStlFile, once the triangles before have been read.
std::int32_t ReadBinaryStlVertices(GeometryStore& store, TextFile& stream, std::string_view head,
                                   RunDriver& driver, int units_per_file_unit,
                                   const GridShift& shift = {});

}  // namespace pelmoro

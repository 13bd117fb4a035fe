// The phases of a conversion, each timed on its own: reading the model,
// scanning and writing the height map, writing the same lattice without
// any coverage work, and the plain scan on single rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/scan/height_map_scan.h"
#include "foundation/geometry_store.h"

namespace pelmoro::bench {

// Reads the model into the store (bounds reset first) through a driver that
// does nothing, with the given reading threads; returns the seconds taken
// and sets *count to the triangles.
double TimeRead(GeometryStore& store, const std::string& model, std::int32_t* count,
                int threads = 1);

// Header, every row, close: the height map of the store written to `out`
// by ScanHeightMap with the given options. Returns seconds.
double TimeScanToFile(const GeometryStore& store, int pitch, std::int32_t count,
                      const ScanOptions& options, bool surface, const std::string& out);

// Header, every row, close for the same lattice with every point at
// `height`: formatting and writing only. Returns seconds.
double TimeWriteOnly(const ModelBounds& bounds, int pitch, std::int32_t height,
                     const std::string& out);

// Rows of the plain scan, each computed on its own, and their total time.
struct ReferenceSample {
  std::vector<std::int64_t> rows;  // 0-based row indices, ascending
  std::vector<std::string> texts;  // the rows' bytes as they would be written
  double seconds = 0;
};

// Runs the plain scan on just the given rows (the bounds are narrowed to
// one row at a time and restored afterwards).
ReferenceSample SampleReference(GeometryStore& store, int pitch, std::int32_t count, bool surface,
                                const std::vector<std::int64_t>& rows);

// Highest z of any vertex of triangles 0..count-1 (0 for none).
std::int32_t HighestZ(const GeometryStore& store, std::int32_t count);

}  // namespace pelmoro::bench

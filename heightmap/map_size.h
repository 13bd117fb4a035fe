// The size of a height map, found without writing it.
#pragma once

#include <cstdint>

#include "engine/height_map_scan.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// Bytes of the seven header lines.
inline constexpr std::uint64_t kHeightMapHeaderBytes = 29;

// Bytes of "x,y,z" CR LF.
std::uint64_t PointLineBytes(std::int32_t x, std::int32_t y, std::int32_t z);

// The exact size in bytes of the height map that a complete conversion of
// the store writes: the scan runs (with the driver's progress, messages and
// stop request) through a sink that counts the bytes of every row instead
// of writing them. A stopped scan counts the rows done.
std::uint64_t MeasureHeightMapBytes(const GeometryStore& store, int pitch, std::int32_t count,
                                    RunDriver& driver, const ScanOptions& options = {});

}  // namespace pelmoro

// The size of a height map, found without writing it.
#pragma once

#include <cstdint>

#include "engine/run_driver.h"
#include "engine/scan/height_map_scan.h"
#include "engine/scan/lattice.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// The exact size in bytes of the height map that a complete conversion of
// the store writes over the lattice: the scan runs (with the driver's
// progress, messages and stop request) into a sink that counts the bytes
// each row's heights would take. A stopped scan counts the rows done.
std::uint64_t MeasureHeightMapBytes(const GeometryStore& store, const Lattice& lattice,
                                    std::int32_t count, RunDriver& driver,
                                    const ScanOptions& options = {});

}  // namespace pelmoro

// What a conversion would make of a model, found without writing anything.
#pragma once

#include <cstdint>
#include <string>

#include "engine/read/model_extent.h"
#include "engine/read/stl_format.h"
#include "engine/run_driver.h"
#include "engine/scan/lattice.h"
#include "foundation/geometry_store.h"
#include "run/conversion_run.h"

namespace pelmoro {

struct ModelInfo {
  StlFormat format = StlFormat::kAscii;
  std::int32_t triangles = 0;
  ModelExtent extent;  // the vertices' own box, grid units
  Lattice lattice;     // at the request's pitch
  // The height map's size: exact when both are the same (always after a
  // scan), else a lower and an upper bound.
  std::uint64_t map_bytes = 0;
  std::uint64_t map_bytes_most = 0;
  bool stopped = false;  // the driver asked to stop: the figures are partial
};

// Reads request.input (bounds reset first) as RunConversion does; with
// exact, scans it through a counting sink for the map's exact size, else
// bounds the size from the lattice and the heights' range (every height
// lies from z min to the highest vertex) without a scan. request.output is
// not used. Raises what reading raises.
ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver,
                       bool exact = true);

}  // namespace pelmoro

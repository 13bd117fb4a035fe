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
  ModelExtent extent;           // the vertices' own box, grid units
  Lattice lattice;              // at the request's pitch
  std::uint64_t map_bytes = 0;  // the height map's exact size
  bool stopped = false;         // the driver asked to stop: the figures are partial
};

// Reads request.input (bounds reset first) as RunConversion does and scans
// it through a counting sink; request.output is not used. Raises what
// reading raises.
ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver);

}  // namespace pelmoro

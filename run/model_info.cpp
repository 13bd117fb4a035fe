#include "run/model_info.h"

#include <algorithm>

#include "outputs/formats/hzm_size.h"
#include "run/map_size.h"

namespace pelmoro {

ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver,
                       bool exact) {
  store.ResetBounds();
  const ModelReading model = ReadRequestedModel(store, request, driver);
  ModelInfo info;
  info.format = model.reading.format;
  info.triangles = model.reading.triangles;
  info.extent = MeasureModelExtent(store, info.triangles);
  info.lattice = model.lattice;
  if (!exact) {
    // Every height lies within z min and z max, from either side.
    const std::int32_t z_low = store.bounds().z_min;
    const std::int32_t z_high =
        request.scan.side == ScanSide::kBottom
            ? HighestZ(store, info.triangles)
            : (info.extent.empty ? z_low : std::max(z_low, info.extent.max.z));
    const HzmSizeRange range = HzmSizeWithin(info.lattice, z_low, z_high);
    info.map_bytes = range.lower;
    info.map_bytes_most = range.upper;
    return info;
  }
  RequireSideFits(store, info.triangles, request.scan.side);
  driver.PhaseStarted(RunPhase::kScanning, info.lattice.rows);
  info.map_bytes = MeasureHeightMapBytes(store, info.lattice, info.triangles, driver, request.scan);
  info.map_bytes_most = info.map_bytes;
  info.stopped = driver.StopRequested();
  return info;
}

}  // namespace pelmoro

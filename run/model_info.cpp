#include "run/model_info.h"

#include "run/map_size.h"

namespace pelmoro {

ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver) {
  store.ResetBounds();
  const ModelReading model = ReadRequestedModel(store, request, driver);
  ModelInfo info;
  info.format = model.reading.format;
  info.triangles = model.reading.triangles;
  info.extent = MeasureModelExtent(store, info.triangles);
  info.lattice = model.lattice;
  driver.PhaseStarted(RunPhase::kScanning, info.lattice.rows);
  info.map_bytes = MeasureHeightMapBytes(store, info.lattice, info.triangles, driver, request.scan);
  info.stopped = driver.StopRequested();
  return info;
}

}  // namespace pelmoro

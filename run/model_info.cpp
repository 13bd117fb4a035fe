#include "run/model_info.h"

#include "engine/stl_model_reader.h"
#include "run/map_size.h"

namespace pelmoro {

ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver) {
  store.ResetBounds();
  ModelInfo info;
  driver.PhaseStarted(RunPhase::kReading, 0);
  const StlReading reading =
      ReadStlModel(store, request.input, driver, request.units, request.scan.threads);
  info.format = reading.format;
  info.triangles = reading.triangles;
  info.extent = MeasureModelExtent(store, reading.triangles);
  info.lattice = LatticeOver(store.bounds(), request.pitch);
  driver.PhaseStarted(RunPhase::kScanning, info.lattice.rows);
  info.map_bytes = MeasureHeightMapBytes(store, info.lattice, reading.triangles, driver, request.scan);
  info.stopped = driver.StopRequested();
  return info;
}

}  // namespace pelmoro

#include "heightmap/model_info.h"

#include "engine/stl_model_reader.h"
#include "heightmap/map_size.h"

namespace pelmoro {

ModelInfo InspectModel(GeometryStore& store, const ConversionRequest& request, RunDriver& driver) {
  store.ResetBounds();
  ModelInfo info;
  driver.PhaseStarted(RunPhase::kReading);
  const StlReading reading = ReadStlModel(store, request.input, driver, request.units);
  info.format = reading.format;
  info.triangles = reading.triangles;
  info.extent = MeasureModelExtent(store, reading.triangles);
  info.columns = ColumnCount(store.bounds(), request.pitch);
  info.rows = RowCount(store.bounds(), request.pitch);
  driver.PhaseStarted(RunPhase::kScanning);
  info.map_bytes =
      MeasureHeightMapBytes(store, request.pitch, reading.triangles, driver, request.scan);
  info.stopped = driver.StopRequested();
  return info;
}

}  // namespace pelmoro

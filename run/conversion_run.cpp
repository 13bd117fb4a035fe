#include "run/conversion_run.h"

#include "engine/read/model_extent.h"
#include "os/env.h"
#include "run/image_lattice.h"
#include "run/map_outputs.h"

namespace pelmoro {

EOutputIsInput::EOutputIsInput(const std::string& name)
    : Exception("Error!\r\nThe output file is the input file: " + name) {}

namespace {

// Creating the output empties it before the input is read, so a name that
// denotes the input itself (the same path, a link to it) is refused first.
void RefuseOutputThatIsInput(const std::string& input, const std::string& output) {
  Env& env = CurrentEnv();
  FileStatus in, out;
  if (!env.StatPath(input, &in) || !env.StatPath(output, &out)) return;
  if (SameFile(in, out)) throw EOutputIsInput(output);
}

// The main output first, then the others in the order given.
std::vector<OutputRequest> OutputsOf(const ConversionRequest& request) {
  std::vector<OutputRequest> outputs{{request.output, request.format, request.output_descriptor}};
  outputs.insert(outputs.end(), request.also.begin(), request.also.end());
  return outputs;
}

// The images and grids alone can do with the scan of their own window.
bool OnlyImages(const std::vector<OutputRequest>& requests) {
  for (const OutputRequest& r : requests) {
    if (!CoversImageWindow(r.format)) return false;
  }
  return true;
}

}  // namespace

ModelReading ReadRequestedModel(GeometryStore& store, const ConversionRequest& request,
                                RunDriver& driver) {
  driver.PhaseStarted(RunPhase::kReading, 0);
  const StlReading reading = ReadStlModel(store, request.input, driver, request.units,
                                          request.scan.threads, request.shift);
  return {reading, LatticeOver(store.bounds(), request.pitch)};
}

ConversionResult RunConversion(GeometryStore& store, const ConversionRequest& request,
                               RunDriver& driver) {
  store.ResetBounds();
  const std::vector<OutputRequest> requests = OutputsOf(request);
  for (const OutputRequest& r : requests) {
    if (r.descriptor < 0) RefuseOutputThatIsInput(request.input, r.path);
  }
  // Abandoned by its destructor if anything below raises.
  ImageSettings images = request.images;
  images.units = request.units;  // the grids speak the model's unit
  MapOutputs outputs(requests, images);

  const ModelReading model = ReadRequestedModel(store, request, driver);
  ConversionResult result;
  result.format = model.reading.format;
  result.triangles = model.reading.triangles;
  result.notes = model.reading.notes;
  result.shift = model.reading.shift;
  // The grids and the world file put the shift back: they sit at the
  // model's own coordinates. An automatic shift is known only now.
  outputs.SetOrigin(result.shift.x, result.shift.y);
  Lattice whole = model.lattice;
  const ModelExtent extent = MeasureModelExtent(store, result.triangles);
  if (request.images.width_px > 0 || request.images.height_px > 0) {
    whole = LatticeOver(store.bounds(), PitchForPoints(store.bounds(), extent, request.images));
  }
  result.images = ImageLattice(whole, extent, request.images.window);
  // When no output needs the whole lattice, only the images' window is
  // scanned: its points' heights are those of the whole scan.
  result.lattice = OnlyImages(requests) ? result.images : whole;
  outputs.Start(result.lattice, store.bounds(), &store, result.triangles, &result.images);
  // Before a row is scanned (the outputs have only made their scratch
  // files, which have no names): maps that cannot fit leave the disks as
  // they were.
  outputs.RequireSpace();
  if (request.scan_starting) request.scan_starting(result.lattice, store, result.triangles);
  driver.PhaseStarted(RunPhase::kScanning, result.lattice.rows);
  ScanHeightMap(store, result.lattice, result.triangles, driver, outputs.sink(), request.scan);
  // A stop the scan has seen (at the latest in the pass after the last
  // row) cut the map short or came while it was being made. One that comes
  // later, while the complete map is finished and put onto the disk, is too
  // late to stop anything: the run is complete all the same.
  const bool stopped = driver.StopRequested();
  // Getting a large map onto the disk takes a while: the front end stays
  // responsive meanwhile.
  driver.PhaseStarted(RunPhase::kClosing, 0);
  outputs.Commit([&driver] { driver.WhileWaiting(); }, request.scan.threads);

  result.outcome = stopped ? RunOutcome::kStopped : RunOutcome::kComplete;
  return result;
}

}  // namespace pelmoro

#include "run/conversion_run.h"

#include "engine/read/model_extent.h"
#include "os/env.h"
#include "run/image_lattice.h"
#include "run/map_outputs.h"

namespace pelmoro {

EOutputIsInput::EOutputIsInput(const std::string& name)
    : Exception("Error!\r\nThe output file is the input file: " + name) {}

EBottomOutOfRange::EBottomOutOfRange()
    : Exception(
          "the bottom side cannot be seen of a vertex at -2147483648 grid units, the lowest "
          "height the grid holds") {}

void RequireSideFits(const GeometryStore& store, std::int32_t count, ScanSide side) {
  if (!SideFits(store, count, side)) throw EBottomOutOfRange();
}

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

// Passes everything on to the run's driver, counting the whole rows the
// scan reports.
class RowCountingDriver : public RunDriver {
 public:
  explicit RowCountingDriver(RunDriver& driver) : driver_(driver) {}
  void PhaseStarted(RunPhase phase, std::int64_t total) override {
    scanning_ = phase == RunPhase::kScanning;
    driver_.PhaseStarted(phase, total);
  }
  void SetProgress(int position, std::int64_t done) override {
    if (scanning_) rows_ = done;
    driver_.SetProgress(position, done);
  }
  void ProcessMessages() override { driver_.ProcessMessages(); }
  void WhileWaiting() override { driver_.WhileWaiting(); }
  bool StopRequested() override { return driver_.StopRequested(); }
  bool FirstCoveringWanted() override { return driver_.FirstCoveringWanted(); }
  std::int64_t rows() const { return rows_; }

 private:
  RunDriver& driver_;
  bool scanning_ = false;
  std::int64_t rows_ = 0;
};

// The lattice the scan covers and the images' window of it, into result
// (whose lattice is that of the model read, at the request's pitch).
void ChooseLattices(const GeometryStore& store, const ConversionRequest& request, bool only_images,
                    ConversionResult& result) {
  Lattice whole = result.lattice;
  const ModelExtent extent = MeasureModelExtent(store, result.triangles);
  if (request.images.width_px > 0 || request.images.height_px > 0) {
    whole = LatticeOver(store.bounds(), PitchForPoints(store.bounds(), extent, request.images));
  }
  result.images = ImageLattice(whole, extent, request.images.window);
  // When no output needs the whole lattice, only the images' window is
  // scanned: its points' heights are those of the whole scan.
  result.lattice = only_images ? result.images : whole;
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
  RequireSideFits(store, result.triangles, request.scan.side);
  result.lattice = model.lattice;
  result.stopped_reading = driver.StopRequested();
  if (result.stopped_reading && !request.stop_keeps_rows) {
    // Nothing is scanned: every output is abandoned with the run.
    result.outcome = RunOutcome::kStopped;
    return result;
  }
  ChooseLattices(store, request, OnlyImages(requests), result);
  outputs.Start(result.lattice, store.bounds(), &store, result.triangles, &result.images,
                request.scan.side);
  // Before a row is scanned (the outputs have only made their scratch
  // files, which have no names): maps that cannot fit leave the disks as
  // they were.
  outputs.RequireSpace();
  if (request.scan_starting) request.scan_starting(result.lattice, store, result.triangles);
  RowCountingDriver counting(driver);
  counting.PhaseStarted(RunPhase::kScanning, result.lattice.rows);
  ScanHeightMap(store, result.lattice, result.triangles, counting, outputs.sink(), request.scan);
  result.rows_written = counting.rows();
  // A stop the scan has seen (at the latest in the pass after the last
  // row) cut the map short or came while it was being made. One that comes
  // later, while the complete map is finished and put onto the disk, is too
  // late to stop anything: the run is complete all the same.
  bool stopped = driver.StopRequested();
  if (stopped && !request.stop_keeps_rows) {
    stopped = result.rows_written < result.lattice.rows;
    if (stopped) outputs.AbandonFiles();
  }
  // Getting a large map onto the disk takes a while: the front end stays
  // responsive meanwhile.
  driver.PhaseStarted(RunPhase::kClosing, 0);
  outputs.Commit([&driver] { driver.WhileWaiting(); }, request.scan.threads);

  result.outcome = stopped ? RunOutcome::kStopped : RunOutcome::kComplete;
  result.stopped_reading = stopped && result.stopped_reading;
  return result;
}

}  // namespace pelmoro

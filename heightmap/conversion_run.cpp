#include "heightmap/conversion_run.h"

#include <sys/stat.h>

#include "engine/height_map_scan.h"
#include "engine/stl_model_reader.h"
#include "heightmap/hzm_writer.h"
#include "heightmap/output_file.h"

namespace pelmoro {

EOutputIsInput::EOutputIsInput(const std::string& name)
    : Exception("Error!\r\nThe output file is the input file: " + name) {}

namespace {

// Creating the output empties it before the input is read, so a name that
// denotes the input itself (the same path, a link to it) is refused first.
void RefuseOutputThatIsInput(const std::string& input, const std::string& output) {
  struct stat in{}, out{};
  if (::stat(input.c_str(), &in) != 0 || ::stat(output.c_str(), &out) != 0) return;
  if (in.st_dev == out.st_dev && in.st_ino == out.st_ino) throw EOutputIsInput(output);
}

}  // namespace

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  // A UTF-8 character beyond ASCII ends in a byte of 0x80 or more, so the
  // last byte alone decides for every character.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

ConversionResult RunConversion(GeometryStore& store, const ConversionRequest& request,
                               RunDriver& driver, const std::function<void()>& on_output_created) {
  store.ResetBounds();
  RefuseOutputThatIsInput(request.input, request.output);
  OutputFile output;  // abandoned by its destructor if anything below raises
  output.Create(request.output);
  if (on_output_created) on_output_created();

  ConversionResult result;
  driver.PhaseStarted(RunPhase::kReading);
  const StlReading reading = ReadStlModel(store, request.input, driver, request.units);
  result.format = reading.format;
  result.triangles = reading.triangles;
  driver.PhaseStarted(RunPhase::kScanning);
  WriteHeightMapHeader(output.text());
  HzmRowSink sink(output.text());
  ScanHeightMap(store, request.pitch, result.triangles, driver, sink, request.scan);
  // Getting a large map onto the disk takes a while: the front end keeps
  // handling its messages meanwhile.
  output.Commit([&driver] { driver.ProcessMessages(); });

  result.columns = ColumnCount(store.bounds(), request.pitch);
  result.rows = RowCount(store.bounds(), request.pitch);
  result.outcome = driver.StopRequested() ? RunOutcome::kStopped : RunOutcome::kComplete;
  return result;
}

}  // namespace pelmoro

#include "engine/read/stl_model_reader.h"

#include <string>

#include "engine/read/binary_stl_reader.h"
#include "engine/read/stl_format.h"
#include "engine/read/stl_reader.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// A stream is opened once: its first bytes tell its kind and are then read
// again from memory by the reader that takes it.
StlReading ReadStlStream(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                         const StlReadOptions& options) {
  TextFile stream;
  OpenTextForReading(stream, file_name);
  CheckIoResult();
  std::string head(kStlHeadBytes, '\0');
  std::size_t held = 0;
  for (std::size_t got = 1; got > 0 && held < head.size(); held += got) {
    got = ReadTextBytes(stream, head.data() + held, head.size() - held);
    CheckIoResult();
  }
  head.resize(held);
  StlReading reading;
  const HeadVerdict verdict = JudgeStreamHead(head, held < kStlHeadBytes);
  switch (verdict) {
    case HeadVerdict::kNotStl:
      // A wait for a writer given up after a signal reads as nothing: the
      // front end has been told, and it is no refused file.
      if (TextReadingGivenUp(stream) || driver.StopRequested()) return reading;
      RefuseNonStl(head, held);
    case HeadVerdict::kBinary:
      reading.format = StlFormat::kBinary;
      reading.triangles = ReadBinaryStlVertices(store, stream, head, driver, options.units);
      return reading;
    case HeadVerdict::kAscii:
    case HeadVerdict::kTextWithoutVertices:
      break;
  }
  reading.triangles = ReadStlVertices(store, stream, head, driver, options, reading.notes);
  // Text that held no vertex line after all, and no "solid" line at its
  // start, is no STL file either (a stop leaves that undecided).
  if (verdict == HeadVerdict::kTextWithoutVertices && reading.notes.last_vertex_line == 0 &&
      !TextReadingGivenUp(stream) && !driver.StopRequested()) {
    RefuseNonStl(head, held);
  }
  return reading;
}

}  // namespace

StlReading ReadStlModel(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                        int units_per_file_unit, int threads) {
  const StlReadOptions options{units_per_file_unit, threads};
  if (IsStreamInput(file_name)) return ReadStlStream(store, file_name, driver, options);
  StlReading reading;
  reading.format = DetectStlFormat(file_name);
  reading.triangles = reading.format == StlFormat::kBinary
                          ? ReadBinaryStlVertices(store, file_name, driver, units_per_file_unit)
                          : ReadStlVertices(store, file_name, driver, options, reading.notes);
  return reading;
}

}  // namespace pelmoro

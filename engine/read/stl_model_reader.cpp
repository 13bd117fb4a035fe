#include "engine/read/stl_model_reader.h"

#include <string>

#include "engine/read/auto_shift.h"
#include "engine/read/binary_stl_reader.h"
#include "engine/read/stl_format.h"
#include "engine/read/stl_reader.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// A stream is opened once: its first bytes tell its kind and are then read
// again from memory by the reader that takes it.
StlReading ReadStlStream(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                         StlReadOptions options, bool auto_shift) {
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
  if (auto_shift) {
    options.shift = FirstVertexShift(head, verdict == HeadVerdict::kBinary, options.units);
  }
  reading.shift = options.shift;
  switch (verdict) {
    case HeadVerdict::kNotStl:
      // A wait for a writer given up after a signal reads as nothing: the
      // front end has been told, and it is no refused file.
      if (TextReadingGivenUp(stream) || driver.StopRequested()) return reading;
      RefuseNonStl(head, held);
    case HeadVerdict::kBinary:
      reading.format = StlFormat::kBinary;
      reading.triangles =
          ReadBinaryStlVertices(store, stream, head, driver, options.units, options.shift);
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

// The first bytes of a regular file, for its first vertex.
std::string ReadHead(const std::string& file_name) {
  TextFile file;
  OpenTextForReading(file, file_name);
  CheckIoResult();
  std::string head(kStlHeadBytes, '\0');
  std::size_t held = 0;
  for (std::size_t got = 1; got > 0 && held < head.size(); held += got) {
    got = ReadTextBytes(file, head.data() + held, head.size() - held);
    CheckIoResult();
  }
  CloseText(file);
  head.resize(held);
  return head;
}

StlReading ReadStlFile(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                       StlReadOptions options, bool auto_shift) {
  StlReading reading;
  reading.format = DetectStlFormat(file_name);
  const bool binary = reading.format == StlFormat::kBinary;
  if (auto_shift) options.shift = FirstVertexShift(ReadHead(file_name), binary, options.units);
  reading.shift = options.shift;
  reading.triangles =
      binary ? ReadBinaryStlVertices(store, file_name, driver, options.units, options.shift)
             : ReadStlVertices(store, file_name, driver, options, reading.notes);
  return reading;
}

}  // namespace

StlReading ReadStlModel(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                        int units_per_file_unit, int threads, const ShiftRequest& shift) {
  StlReadOptions options{units_per_file_unit, threads};
  options.shift = shift.shift;
  StlReading reading = IsStreamInput(file_name)
                           ? ReadStlStream(store, file_name, driver, options, shift.automatic)
                           : ReadStlFile(store, file_name, driver, options, shift.automatic);
  if (shift.automatic && !driver.StopRequested()) {
    reading.shift = MoveToCornerShift(store, reading.triangles, reading.shift, units_per_file_unit);
  }
  return reading;
}

}  // namespace pelmoro

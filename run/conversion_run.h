// One conversion run, shared by the window and the command line: reset the
// bounds, create the output, read the model, write the header, scan, close,
// and tell whether the run completed or was stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/read/grid_units.h"
#include "engine/read/reading_notes.h"
#include "engine/read/stl_format.h"
#include "engine/read/stl_model_reader.h"
#include "engine/run_driver.h"
#include "engine/scan/height_map_scan.h"
#include "engine/scan/lattice.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"
#include "outputs/formats/image_settings.h"
#include "run/messages.h"
#include "run/output_format.h"

namespace pelmoro {

// An output name that denotes the input file itself.
class EOutputIsInput : public Exception {
 public:
  explicit EOutputIsInput(const std::string& name);
};

// A model the bottom side cannot be seen of: a vertex at -2^31 grid units.
class EBottomOutOfRange : public Exception {
 public:
  EBottomOutOfRange();
};

// Raises EBottomOutOfRange when a scan from `side` cannot see triangles
// 0..count-1 of the store (SideFits).
void RequireSideFits(const GeometryStore& store, std::int32_t count, ScanSide side);

struct ConversionRequest {
  std::string input;                         // STL file
  std::string output;                        // height-map file, extension rule already applied
  int pitch = kDefaultPitch;                 // grid units, 1..255
  ScanOptions scan = {};                     // threads, side, or the plain reference scan
  OutputFormat format = OutputFormat::kHzm;  // the format of output
  std::vector<OutputRequest> also = {};      // further outputs of the same scan
  int units = kGridUnitsPerMillimetre;       // grid units per unit of the model file
  ImageSettings images = {};                 // how the images and grids render the heights
  ShiftRequest shift = {};                   // subtracted from x and y as the model is read
  // When >= 0, the map is written to this open descriptor (standard
  // output) instead, directly; output only names it.
  int output_descriptor = -1;
  // When given: called once the model is read and the outputs have room,
  // just before the scan, with the lattice, the store and the triangles
  // read.
  std::function<void(const Lattice&, const GeometryStore&, std::int32_t)> scan_starting = {};
  // What a stop leaves. true: every output takes the whole rows so far, in
  // place of its target (the window, whose user confirmed replacing the
  // file). false: the outputs that replace a file are abandoned, an earlier
  // file of that name kept as it was, and a stop while reading skips the
  // scan; devices and pipes, which cannot take back what they had, are
  // closed with the whole rows so far.
  bool stop_keeps_rows = true;
};

struct ConversionResult {
  RunOutcome outcome = RunOutcome::kComplete;
  StlFormat format = StlFormat::kAscii;
  std::int32_t triangles = 0;  // complete triangles read
  Lattice lattice;             // the lattice of a complete scan
  Lattice images;              // the window of it the images and grids cover
  ReadingNotes notes;          // what the reading left unread
  GridShift shift;             // subtracted from x and y as the model was read
  // Of a stopped run: whether the stop came before the scan (while the
  // model was read), and the whole rows the scan gave its outputs.
  bool stopped_reading = false;
  std::int64_t rows_written = 0;
};

// What a conversion and an inspection both make of the model first.
struct ModelReading {
  StlReading reading;
  Lattice lattice;  // at the request's pitch, over the bounds read
};

// Reads request.input in the request's unit, with its threads; the driver
// hears that the reading starts. Expects the bounds to be reset. Raises
// what reading raises.
ModelReading ReadRequestedModel(GeometryStore& store, const ConversionRequest& request,
                                RunDriver& driver);

// Runs one conversion. Once the model is read, outputs that cannot fit on
// their disks raise ENotEnoughSpace before anything is written. The
// driver hears of each phase as it starts: the
// reading once the output exists (the window shows "Stop" from then on),
// the scan, and the closing while the map reaches the disk. The input may
// be an ASCII or a binary STL file; anything else is refused (ENotStlFile,
// ETruncatedStl) before it is read. Errors pass out
// after the output has been abandoned: an existing target is left as it
// was and no temporary file remains. Every output is created before the
// reading; at the end all are flushed to the disk before the first is put
// in place. Whatever fails in one of them raises EOutputError, which names
// it. The outcome is kStopped when the driver asked to stop before the
// closing began; a stop asked for during the closing comes too late and the
// outcome is kComplete. Without request.stop_keeps_rows a stop seen only
// once every row is written is too late as well: the map is complete.
ConversionResult RunConversion(GeometryStore& store, const ConversionRequest& request,
                               RunDriver& driver);

}  // namespace pelmoro

// Reading a model from an STL file of either kind.
#pragma once

#include <cstdint>
#include <string>

#include "engine/read/grid_shift.h"
#include "engine/read/grid_units.h"
#include "engine/read/reading_notes.h"
#include "engine/read/stl_format.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

struct StlReading {
  StlFormat format = StlFormat::kAscii;
  std::int32_t triangles = 0;  // complete triangles stored
  ReadingNotes notes;          // what an ASCII reading left unread
  GridShift shift;             // subtracted from x and y as the model was read
};

// Decides the file's kind (DetectStlFormat) and reads it with the ASCII or
// the binary reader, in the given unit; an ASCII file with up to `threads`
// worker threads (0: one per core). Expects the bounds to be reset.
// Raises ENotStlFile or ETruncatedStl before anything is stored for a file
// that is no STL file, and whatever the reader raises. A pipe or device is
// opened once and told by its first bytes (JudgeStreamHead); what they
// leave open is refused once read: text without a vertex line, a binary
// STL whose records do not end the data. With a shift, x and y are read
// less it (an automatic one: engine/read/auto_shift.h), and the reading
// says which it was.
StlReading ReadStlModel(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                        int units_per_file_unit = kGridUnitsPerMillimetre, int threads = 1,
                        const ShiftRequest& shift = {});

}  // namespace pelmoro

// The ASCII STL reader done the plain way, one line at a time through the
// reference line reader: the reference that the chunked reader, in turn and
// with workers, is held to.
#pragma once

#include <cstdint>
#include <string>

#include "engine/read/reading_notes.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"

namespace pelmoro::testing {

// Same contract as ReadStlVertices: triangles, bounds, progress, stop,
// errors (with their lines) and notes.
std::int32_t ReadStlVerticesByLines(GeometryStore& store, const std::string& file_name,
                                    RunDriver& driver, int units, ReadingNotes& notes);

}  // namespace pelmoro::testing

// The ASCII STL reader: vertex lines into the geometry store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/read/grid_shift.h"
#include "engine/read/grid_units.h"
#include "engine/read/reading_notes.h"
#include "engine/run_driver.h"
#include "foundation/geometry_store.h"
#include "foundation/text_file.h"

namespace pelmoro {

// Bytes of whole lines read and parsed at a time.
inline constexpr std::size_t kStlChunkBytes = std::size_t{128} << 10;

struct StlReadOptions {
  int units = kGridUnitsPerMillimetre;  // grid units per unit of the file
  // 1 reads in turn on the calling thread; more (0: one per core) lets
  // worker threads parse chunks of a large regular file ahead. The model,
  // the progress, the stop and every error are the same either way.
  int threads = 1;
  std::size_t chunk_bytes = kStlChunkBytes;
  GridShift shift = {};  // subtracted from x and y (grid_shift.h)
};

// Reads the vertex lines of an ASCII STL file (coordinates in millimetres,
// or the unit of which a grid unit is 1 / units_per_file_unit) into the
// store as grid units, groups them by threes into triangles in
// file order, orders each triangle by y and stores its metrics, and widens
// the bounds with every vertex. Expects the bounds to be reset. Once per
// complete triangle it sets the progress (blocks read / blocks in the file),
// processes pending messages and returns early on a stop request.
// Returns the number of complete triangles. Raises EInOutError,
// EConvertError or ERangeError, with the line they arose in set
// (Exception::line(); a line ends at LF, CR LF or a lone CR); the input is
// closed in every case.
std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             int units_per_file_unit = kGridUnitsPerMillimetre);
// The same, and tells in notes what a reading that was not stopped left
// unread: bytes after a Ctrl-Z, the vertices of an incomplete last triangle,
// a missing "endsolid" line.
std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             int units_per_file_unit, ReadingNotes& notes);
std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name, RunDriver& driver,
                             const StlReadOptions& options, ReadingNotes& notes);
// The same from a file open for reading (a pipe, say) whose first bytes,
// head, were read already; the file is closed at the end.
std::int32_t ReadStlVertices(GeometryStore& store, TextFile& stream, std::string_view head,
                             RunDriver& driver, const StlReadOptions& options, ReadingNotes& notes);

}  // namespace pelmoro

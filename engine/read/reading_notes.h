// What a reading noticed without being stopped by it: facts that the front
// end words as warnings (the model was read, but perhaps not all of it).
#pragma once

#include <cstdint>

namespace pelmoro {

struct ReadingNotes {
  // The data ended at a Ctrl-Z byte where a line would begin; these bytes
  // came after it and were not read (0: no Ctrl-Z, or nothing after it).
  std::uint64_t bytes_after_ctrl_z = 0;
  std::int64_t ctrl_z_line = 0;  // the 1-based line the Ctrl-Z stands at
  // 1 or 2: the input ended with the vertices of an incomplete triangle,
  // which is left out of the model.
  int leftover_vertices = 0;
  std::int64_t last_vertex_line = 0;  // the line of the last vertex read
  // An ASCII file with a "solid" line and facets but no "endsolid" line
  // after its last facet: probably cut short (not noted when a Ctrl-Z
  // ended the data, which says more).
  bool missing_endsolid = false;
};

}  // namespace pelmoro

// --shift auto: the model's lower-left corner rounded down to a whole 1,000
// of its unit. The corner is known only once the model is read, so the
// reading subtracts a first shift, the first vertex's x and y rounded down
// the same way (a model that fits the grid from its corner fits it from
// any of its vertices), and the store is then moved by the whole number of
// grid units between the two: every coordinate becomes exactly what a
// reading with the final shift gives, since both are G(text) minus a whole
// number (engine/read/grid_shift.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/read/grid_shift.h"
#include "foundation/geometry_store.h"

namespace pelmoro {

// v rounded down to a whole 1,000 of the unit (1000 * units grid units).
std::int64_t RoundDownToThousand(std::int64_t v, int units_per_file_unit);

// The first shift for a file whose first bytes are head: its first
// vertex's x and y, rounded down; no shift when the head holds no vertex
// that reads (the reading then says what is wrong). Raises ERangeError for
// a vertex farther out than any shift reaches.
GridShift FirstVertexShift(std::string_view head, bool binary, int units_per_file_unit);

// Moves the first count triangles of the store from the first shift to the
// final one, the corner of their extent rounded down, and takes the bounds
// again; returns the final shift. Raises ERangeError when the model is too
// wide for the grid from its corner.
GridShift MoveToCornerShift(GeometryStore& store, std::int32_t count, const GridShift& first,
                            int units_per_file_unit);

}  // namespace pelmoro

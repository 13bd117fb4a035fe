// What the command line says about a model beyond the summary: the empty
// model warning, advice on a size that suggests another unit, and --info.
#pragma once

#include <string>

#include "engine/read/model_extent.h"
#include "engine/read/model_units.h"
#include "engine/scan/lattice.h"
#include "run/model_info.h"

namespace pelmoro::cli {

// "" for a model whose plan view measures 1 mm to 100 m; otherwise a line
// that gives its size and, when one gives a sensible size, the unit its
// file is probably written in.
std::string SizeAdvice(const ModelExtent& extent, const ModelUnit& unit);

// The line (ending in "\n") a conversion towards a device or a pipe
// prints as its scan starts, since such a target has no size limit and
// shows nothing of the map's size: the lattice and the least and most
// bytes the height map takes, so that a mistaken pitch or unit is seen
// at once.
// extent: of the model read (its z range bounds the heights).
std::string StreamStartText(const std::string& input, const Lattice& lattice,
                            const ModelExtent& extent, const std::string& output);

// The lines of --info for one model (each ends in "\n").
std::string InfoText(const std::string& input, const ModelInfo& info, int pitch);

}  // namespace pelmoro::cli

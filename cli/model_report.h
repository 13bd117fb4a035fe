// What the command line says about a model beyond the summary: the empty
// model warning, advice on a size that suggests another unit, and --info.
#pragma once

#include <string>

#include "engine/read/model_extent.h"
#include "engine/read/model_units.h"
#include "run/model_info.h"

namespace pelmoro::cli {

// "" for a model whose plan view measures 1 mm to 100 m; otherwise a line
// that gives its size and, when one gives a sensible size, the unit its
// file is probably written in.
std::string SizeAdvice(const ModelExtent& extent, const ModelUnit& unit);

// The lines of --info for one model (each ends in "\n").
std::string InfoText(const std::string& input, const ModelInfo& info, int pitch);

}  // namespace pelmoro::cli

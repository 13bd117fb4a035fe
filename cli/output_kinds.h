// What stl2hzm makes of its outputs' names: every named file must end in the
// extension of a format it writes, so that a name such as part.tif or
// part.jpg never receives another format's bytes.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

namespace pelmoro::cli {

// Raises UsageError for an output (outputs as PlanOutputs gives them, then
// --also) whose name ends in no known extension, unless --format says what
// the outputs are; for a --preview that does not end in ".png"; --also
// names their format by their extension alone. Standard output ("-"), the
// names under /dev and /proc (/dev/stdout, /dev/fd/N) and existing devices
// and pipes (a FIFO) take any name.
void RefuseUnknownFormats(const CliOptions& options, const std::vector<std::string>& outputs);

// Refuses (UsageError) a GeoTIFF output in a build without GeoTIFF.
void RefuseGeoTiffUnbuilt(const CliOptions& options, const std::vector<std::string>& outputs);

}  // namespace pelmoro::cli

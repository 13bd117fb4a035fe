#include "engine/height_map_scan.h"

namespace pelmoro {}  // namespace pelmoro

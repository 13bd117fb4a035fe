#include "heightmap/conversion_run.h"

namespace pelmoro {}  // namespace pelmoro

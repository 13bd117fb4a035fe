#include "heightmap/pitch.h"

namespace pelmoro {}  // namespace pelmoro

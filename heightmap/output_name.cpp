#include "heightmap/output_name.h"

namespace pelmoro {}  // namespace pelmoro

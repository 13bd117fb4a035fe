#include "heightmap/output_file.h"

namespace pelmoro {}  // namespace pelmoro

#include "heightmap/hzm_writer.h"

namespace pelmoro {}  // namespace pelmoro

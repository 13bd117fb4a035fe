#include "engine/stl_reader.h"

namespace pelmoro {}  // namespace pelmoro

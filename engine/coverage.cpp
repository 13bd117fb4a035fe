#include "engine/coverage.h"

namespace pelmoro {}  // namespace pelmoro

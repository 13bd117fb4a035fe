#include "engine/triangle_metrics.h"

namespace pelmoro {}  // namespace pelmoro

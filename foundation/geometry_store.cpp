#include "foundation/geometry_store.h"

namespace pelmoro {}  // namespace pelmoro

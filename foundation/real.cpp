#include "foundation/real.h"

namespace pelmoro {}  // namespace pelmoro

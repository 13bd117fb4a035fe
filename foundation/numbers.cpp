#include "foundation/numbers.h"

namespace pelmoro {}  // namespace pelmoro

#include "foundation/errors.h"

namespace pelmoro {}  // namespace pelmoro

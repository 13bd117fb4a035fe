#include "foundation/text.h"

namespace pelmoro {}  // namespace pelmoro

#include "foundation/text_file.h"

namespace pelmoro {}  // namespace pelmoro

// Builds without PROJ (Windows): --crs is refused with this message.
#include "foundation/errors.h"
#include "outputs/formats/reference_system.h"

namespace pelmoro {

bool ReferenceSystemsBuilt() { return false; }

ReferenceSystem FindReferenceSystem(const std::string&) {
  throw Exception("this stl2hzm was built without PROJ: it cannot name reference systems");
}

}  // namespace pelmoro

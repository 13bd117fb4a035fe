#include "outputs/files/output_target.h"

#include "foundation/text_file.h"

namespace pelmoro {

OutputTarget ResolveOutputTarget(const std::string& name) {
  OutputTarget target;
  if (const int error = CurrentEnv().ResolveOutput(name, &target); error != 0) {
    throw IoErrorFromErrno(IoOperation::kCreate, error, name);
  }
  return target;
}

}  // namespace pelmoro

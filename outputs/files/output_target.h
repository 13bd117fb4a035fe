// What an output name denotes: a descriptor the process already holds
// (/dev/stdout, /dev/fd/N), a device or pipe, or a file, with the chain of
// symbolic links that leads to it followed.
#pragma once

#include <string>

#include "os/env.h"

namespace pelmoro {

// Resolves the output name. Raises EInOutError for a chain of symbolic
// links that never ends (ELOOP) and for a descriptor name this process does
// not hold (EBADF).
OutputTarget ResolveOutputTarget(const std::string& name);

}  // namespace pelmoro

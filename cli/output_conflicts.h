// A batch in which two inputs would write the same output loses the first
// map; it is refused before anything is converted.
#pragma once

#include <string>
#include <vector>

namespace pelmoro::cli {

// Raises UsageError naming both inputs when two outputs are the same file:
// an existing file by device and inode, any other by its name with the
// links and the folder resolved. outputs[i] belongs to inputs[i].
void RefuseSharedOutputs(const std::vector<std::string>& inputs,
                         const std::vector<std::string>& outputs);

}  // namespace pelmoro::cli

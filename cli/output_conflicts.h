// A batch in which two inputs would write the same output loses the first
// map, and an output that is another output's file or an input loses that
// one: both are refused before anything is read.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

namespace pelmoro::cli {

// Raises UsageError naming both inputs when two outputs are the same file:
// an existing file by device and inode, any other by its name with the
// links and the folder resolved. outputs[i] belongs to inputs[i].
void RefuseSharedOutputs(const std::vector<std::string>& inputs,
                         const std::vector<std::string>& outputs);

// Raises UsageError naming both spellings when two outputs of one run (the
// output, --also, --preview), or an output and an input of the batch, are
// one file, compared as RefuseSharedOutputs compares: "out/s.png" and
// "./out/s.png", a symbolic link and its target, two hard links. Inputs
// that are no regular file (standard input, a pipe) are not compared.
// outputs[i] belongs to options.inputs[i]; "-" is standard output.
void RefuseOneFileTwice(const CliOptions& options, const std::vector<std::string>& outputs);

}  // namespace pelmoro::cli

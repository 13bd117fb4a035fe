// What stl2hzm --help and --version print.
#pragma once

#include <string>

namespace pelmoro::cli {

// The usage, options, units, output rules and exit codes.
std::string HelpText();
// "stl2hzm <version>".
std::string VersionText();

}  // namespace pelmoro::cli

// What stl2hzm --help and --version print.
#pragma once

#include <string>
#include <vector>

namespace pelmoro::cli {

// The usage, options, units, output rules and exit codes, in the words of
// the message catalog.
std::string HelpText();
// The English texts the catalog translates the help by, one each: a
// paragraph, or one option of the list of options.
std::vector<std::string> HelpTextIds();
// "stl2hzm <version>".
std::string VersionText();

}  // namespace pelmoro::cli

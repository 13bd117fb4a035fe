// Naming the height-map file after its input.
#pragma once

#include <string>
#include <string_view>

namespace pelmoro {

// The input name up to and including its last "." followed by "hzm"; "hzm"
// alone when the name has no ".". The whole path is searched, folders too.
std::string ProposeOutputName(std::string_view input_name);

// The confirmed name unchanged when it ends in "." and exactly three bytes,
// else the name with ".hzm" appended.
std::string ApplyExtensionRule(std::string_view confirmed_name);

}  // namespace pelmoro

// Fields filled into a message's text: what both message catalogs, the
// gettext one and the one compiled in, do with the text they look up.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace pelmoro::cli {

using Fields = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// The text with each "{name}" replaced by the field of that name, in the
// order the fields are given; a value is never searched again.
std::string FillFields(std::string text, Fields fields);

}  // namespace pelmoro::cli

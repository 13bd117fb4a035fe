#include "foundation/text.h"

#include <cstddef>

namespace pelmoro {

std::string_view StripLeading(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}

int FindLastOf(char c, std::string_view text) {
  const std::size_t found = text.rfind(c);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

std::string QuotedText(std::string_view text, std::string_view rest) {
  std::string quoted;
  quoted.reserve(text.size() + rest.size() + 2);
  quoted += '\'';
  quoted.append(text);
  quoted += '\'';
  quoted.append(rest);
  return quoted;
}

}  // namespace pelmoro

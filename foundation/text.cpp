#include "foundation/text.h"

#include <cstddef>

namespace pelmoro {

std::string_view StripLeading(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}

std::string CopyChars(std::string_view text, int start, int count) {
  if (start < 1) start = 1;
  const auto first = static_cast<std::size_t>(start) - 1;
  if (count < 0 || first >= text.size()) return {};
  return std::string(text.substr(first, static_cast<std::size_t>(count)));
}

void DeleteChars(std::string& text, int start, int count) {
  if (start < 1 || count < 1) return;
  const auto first = static_cast<std::size_t>(start) - 1;
  if (first >= text.size()) return;
  text.erase(first, static_cast<std::size_t>(count));
}

int PositionOf(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || text.empty()) return 0;
  const std::size_t found = text.find(pattern);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

int FindLastOf(char c, std::string_view text) {
  const std::size_t found = text.rfind(c);
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Only ASCII letters fold; bytes from 128 up (accented letters, double-byte
  // characters) must match as they are.
  const auto upper = [](unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(static_cast<unsigned char>(a[i])) != upper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
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

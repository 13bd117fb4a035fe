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

namespace {

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

// The C escape of a control character.
void AppendEscaped(std::string& out, unsigned char c) {
  constexpr char kNamed[] = "\a\b\t\n\v\f\r";
  constexpr char kLetters[] = "abtnvfr";
  for (std::size_t k = 0; k < sizeof kNamed - 1; ++k) {
    if (static_cast<char>(c) == kNamed[k]) {
      out += '\\';
      out += kLetters[k];
      return;
    }
  }
  out += '\\';
  out += static_cast<char>('0' + (c >> 6));
  out += static_cast<char>('0' + ((c >> 3) & 7));
  out += static_cast<char>('0' + (c & 7));
}

}  // namespace

std::string FileNameForMessages(std::string_view name) {
  bool plain = true;
  for (char c : name) plain = plain && !IsControl(static_cast<unsigned char>(c));
  if (plain) return std::string(name);
  std::string quoted = "'";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte)) {
      AppendEscaped(quoted, byte);
    } else {
      if (c == '\\' || c == '\'') quoted += '\\';
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

}  // namespace pelmoro

#include "run/messages.h"

namespace pelmoro {

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  // A UTF-8 character beyond ASCII ends in a byte of 0x80 or more, so the
  // last byte alone decides for every character.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

}  // namespace pelmoro

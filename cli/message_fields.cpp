#include "cli/message_fields.h"

namespace pelmoro::cli {

std::string FillFields(std::string text, Fields fields) {
  for (const auto& [name, value] : fields) {
    std::string key = "{";  // appended: "{" + a temporary trips GCC 12's -Wrestrict at -O3
    key += name;
    key += '}';
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size())) {
      text.replace(at, key.size(), value);
    }
  }
  return text;
}

}  // namespace pelmoro::cli

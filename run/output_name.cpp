#include "run/output_name.h"

#include "foundation/text.h"

namespace pelmoro {

std::string ProposeOutputName(std::string_view input_name) {
  // The last "." of the whole path counts, even one in a folder name, so
  // "C:\my.data\part" proposes "C:\my.hzm". UTF-8 never uses the byte "."
  // inside a multi-byte character, so no character is cut.
  const int dot = FindLastOf('.', input_name);
  std::string name(input_name.substr(0, static_cast<std::size_t>(dot)));
  name += "hzm";
  return name;
}

std::string ApplyExtensionRule(std::string_view confirmed_name) {
  // A name whose last "." stands three bytes before its end already has an
  // extension of its own (".hzm", ".txt", ...) and is taken as it is.
  const int length = static_cast<int>(confirmed_name.size());
  std::string name(confirmed_name);
  if (FindLastOf('.', confirmed_name) != length - 3) name += ".hzm";
  return name;
}

}  // namespace pelmoro

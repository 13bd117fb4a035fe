#include "winapp/application_title.h"

#include <windows.h>

#include <vector>

namespace pelmoro::winapp {

std::wstring TitleFromExecutable(const std::wstring& executable_path) {
  const std::size_t slash = executable_path.find_last_of(L"\\/");
  std::wstring name =
      slash == std::wstring::npos ? executable_path : executable_path.substr(slash + 1);
  const std::size_t dot = name.find(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  if (name.empty()) return name;
  // A first character outside the basic plane spans two UTF-16 units.
  const std::size_t first = IS_HIGH_SURROGATE(name[0]) && name.size() > 1 ? 2 : 1;
  if (name.size() > first) {
    // The system's case mapping, the one its own file names follow.
    ::CharLowerBuffW(name.data() + first, static_cast<DWORD>(name.size() - first));
  }
  return name;
}

const std::wstring& ApplicationTitle() {
  static const std::wstring title = [] {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n < path.size()) return TitleFromExecutable(std::wstring(path.data(), n));
      path.resize(path.size() * 2);
    }
  }();
  return title;
}

}  // namespace pelmoro::winapp

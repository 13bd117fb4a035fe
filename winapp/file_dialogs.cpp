#include "winapp/file_dialogs.h"

#include <commdlg.h>

#include <vector>

#include "os/windows_support.h"
#include "winapp/fp_guard.h"

namespace pelmoro::winapp {
namespace {

// The name buffer, terminator included.
constexpr std::size_t kNameCharacters = MAX_PATH;

}  // namespace

FileDialog::FileDialog(Kind kind, std::wstring description, std::wstring pattern)
    : kind_(kind), filter_(std::move(description)) {
  filter_ += L'\0';
  filter_ += pattern;
  filter_ += L'\0';
  filter_ += L'\0';
}

bool FileDialog::Execute(HWND owner) {
  std::vector<wchar_t> buffer(kNameCharacters, L'\0');
  const std::wstring proposed = windows::Wide(name_);
  if (proposed.size() < kNameCharacters) proposed.copy(buffer.data(), proposed.size());
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter_.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  // No existence check, no overwrite question, no default extension: the
  // name comes back as it was typed; a missing input fails when read.
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  BOOL confirmed;
  {
    FpGuard keep_arithmetic;
    confirmed = kind_ == Kind::kOpen ? ::GetOpenFileNameW(&dialog) : ::GetSaveFileNameW(&dialog);
  }
  if (!confirmed || buffer[0] == L'\0') return false;
  name_ = windows::Narrow(buffer.data());
  return !name_.empty();
}

}  // namespace pelmoro::winapp

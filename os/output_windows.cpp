#include <windows.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "os/windows_output.h"
#include "os/windows_support.h"

namespace pelmoro {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

// The length of a root the folder keeps ("C:\", "\"), or 0.
std::size_t RootLength(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return 3;
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = LastSeparator(path);
  if (slash == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  return slash < RootLength(path) ? path.substr(0, RootLength(path)) : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  std::size_t slash = LastSeparator(path);
  if (slash == std::string::npos && path.size() >= 2 && path[1] == ':') slash = 1;
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace windows {

namespace {

constexpr int kMaxTempAttempts = 100;
constexpr std::size_t kMaxBaseInTempName = 200;

// The name a link at `name` leads to, else `name` itself.
std::string Followed(const std::string& name, HANDLE file) {
  const DWORD attributes = ::GetFileAttributesW(Wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return name;
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0) return name;
    if (n < path.size()) {
      path.resize(n);
      return Narrow(path.c_str());
    }
    path.resize(n + 1);
  }
}

// The absolute form of a name, which renaming by handle needs.
std::wstring FullName(const std::wstring& name) {
  const DWORD n = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (n == 0) return name;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return name;
  full.resize(written);
  return full;
}

bool MarkForDeletion(HANDLE file, bool delete_it) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = delete_it ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != 0;
}

// The replacement is hidden while it is written; it takes its name shown.
void Unhide(HANDLE file) {
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) return;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

// Renames the open file over destination, which it replaces in one step.
bool RenameOver(HANDLE file, const std::wstring& destination) {
  const std::wstring full = FullName(destination);
  const std::size_t name_bytes = full.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(info->FileName, full.data(), name_bytes);
  return ::SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

int ResolveOutput(const std::string& name, OutputTarget* target) {
  *target = OutputTarget{};
  target->destination = name;
  const std::wstring wide = Wide(name);
  if (wide.empty()) return 0;  // creating it reports the name
  const HANDLE file = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;  // nothing there yet
  target->exists = true;
  const int error = StatusOf(file, &target->status);
  if (error == 0 && IsStream(target->status.kind)) {
    target->kind = OutputKind::kDevice;  // NUL, CON, \\.\pipe\NAME
  } else if (error == 0) {
    target->destination = Followed(name, file);
  }
  ::CloseHandle(file);
  return error;
}

int CreateReplacement(const OutputTarget& target, Replacement* replacement) {
  *replacement = Replacement{};
  replacement->destination = target.destination;
  const std::wstring destination = Wide(target.destination);
  if (destination.empty()) return ENOENT;
  if (target.exists) {
    if (target.status.kind == FileKind::kFolder) return EISDIR;
    const HANDLE check = ::CreateFileW(destination.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (check == INVALID_HANDLE_VALUE) return LastError();
    ::CloseHandle(check);
  }
  const std::wstring stem = Wide(FolderOf(target.destination)) + L"\\." +
                            Wide(BaseOf(target.destination).substr(0, kMaxBaseInTempName)) + L".";
  for (int attempt = 0;; ++attempt) {
    const std::wstring name = stem + RandomTag() + L".tmp";
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      replacement->file = reinterpret_cast<FileHandle>(file);
      replacement->temporary = Narrow(name.c_str());
      // Where a filesystem refuses the mark, the owner removes the file.
      replacement->vanishes = MarkForDeletion(file, true);
      return 0;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS || attempt >= kMaxTempAttempts) {
      replacement->refused = Narrow(name.c_str());
      return LastError();
    }
  }
}

int PublishReplacement(Replacement* replacement) {
  const HANDLE file = Handle(replacement->file);
  Unhide(file);
  // The mark comes off just before the rename: a file marked for deletion
  // cannot be renamed.
  if (replacement->vanishes && !MarkForDeletion(file, false)) return LastError();
  if (!RenameOver(file, Wide(replacement->destination))) {
    const int error = LastError();
    if (replacement->vanishes) MarkForDeletion(file, true);
    return error;
  }
  ::CloseHandle(file);
  replacement->file = kNoFile;
  replacement->temporary.clear();
  replacement->vanishes = false;
  return 0;
}

void DiscardReplacement(Replacement* replacement) noexcept {
  if (replacement->file != kNoFile) ::CloseHandle(Handle(replacement->file));
  replacement->file = kNoFile;  // a file marked for deletion goes with it
  if (!replacement->vanishes && !replacement->temporary.empty()) {
    ::DeleteFileW(Wide(replacement->temporary).c_str());
  }
  replacement->temporary.clear();
  replacement->vanishes = false;
}

std::uint64_t BytesAhead(FileHandle file) {
  const HANDLE handle = Handle(file);
  LARGE_INTEGER size{};
  LARGE_INTEGER at{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size) ||
      !::SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT) ||
      size.QuadPart <= at.QuadPart) {
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart - at.QuadPart);
}

}  // namespace windows
}  // namespace pelmoro

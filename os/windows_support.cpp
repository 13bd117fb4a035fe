#include "os/windows_support.h"

#include <atomic>
#include <cerrno>

namespace pelmoro::windows {

// UTF-8 to the system's UTF-16; an empty text for bytes that are no UTF-8
// (no file has that name).
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                      static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), n);
  return wide;
}

// The system's UTF-16 to UTF-8.
std::string Narrow(const wchar_t* text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string narrow(static_cast<std::size_t>(n - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

HANDLE StreamHandle(int stream) {
  switch (stream) {
    case 0:
      return ::GetStdHandle(STD_INPUT_HANDLE);
    case 1:
      return ::GetStdHandle(STD_OUTPUT_HANDLE);
    default:
      return ::GetStdHandle(STD_ERROR_HANDLE);
  }
}

// The system's errors as the errno values the program tells failures by;
// one without such a value keeps its number (kSystemError + it).
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_OPERATION_ABORTED:
      return EINTR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return kSystemError + static_cast<int>(error);
  }
}

int LastError() { return ErrnoOf(::GetLastError()); }

int StatusOf(HANDLE file, FileStatus* status) {
  const DWORD type = ::GetFileType(file);
  if (type != FILE_TYPE_DISK) {
    *status =
        FileStatus{type == FILE_TYPE_CHAR ? FileKind::kDevice : FileKind::kPipe, 0, false, 0, 0};
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) {
    // A file a parent process handed over may give its size only (Wine's
    // standard streams redirected to a file): a regular file, its identity
    // unknown.
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return LastError();
    *status =
        FileStatus{FileKind::kRegular, static_cast<std::uint64_t>(size.QuadPart), false, 0, 0};
    return 0;
  }
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status->kind = folder ? FileKind::kFolder : FileKind::kRegular;
  status->size = folder ? 0 : (std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
  status->identified = true;
  status->volume = info.dwVolumeSerialNumber;
  status->index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return 0;
}

// Eight hexadecimal digits no other name in the folder is likely to have.
std::wstring RandomTag() {
  static std::atomic<unsigned> counter{0};
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const unsigned value = static_cast<unsigned>(now.QuadPart) ^
                         ::GetCurrentProcessId() * 2654435761u ^ counter.fetch_add(1) * 0x9E3779B9u;
  wchar_t tag[9];
  for (int i = 0; i < 8; ++i) tag[i] = L"0123456789abcdef"[(value >> (28 - 4 * i)) & 15];
  tag[8] = L'\0';
  return tag;
}

// The x87 unit's control word: its precision decides every long double
// result. Windows starts each new thread at 53-bit precision (the C
// runtime sets 64 bits for the first thread only), so a thread takes its
// starter's word, or its long doubles would round differently.
unsigned short X87Control() {
  unsigned short word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void SetX87Control(unsigned short word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

}  // namespace pelmoro::windows

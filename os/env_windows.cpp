// The Windows system (Win32, x86-64).
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "os/env.h"

namespace pelmoro {

namespace {

class WindowsEnv final : public Env {
 public:
  std::size_t PageBytes() override {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwPageSize;
  }

  // Large pages need a privilege ordinary users lack; none are asked for.
  std::size_t HugePageBytes() override { return 0; }

  std::uint64_t PhysicalMemoryBytes() override {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
  }

  // Committed pages of VirtualAlloc come zero-filled.
  void* MapMemory(std::size_t bytes) override {
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }

  // Windows has no mremap: the contents are copied to a new mapping.
  void* RemapMemory(void* start, std::size_t old_bytes, std::size_t new_bytes) override {
    void* moved = MapMemory(new_bytes);
    if (moved == nullptr) return nullptr;
    std::memcpy(moved, start, std::min(old_bytes, new_bytes));
    UnmapMemory(start, old_bytes);
    return moved;
  }

  void UnmapMemory(void* start, std::size_t) override { ::VirtualFree(start, 0, MEM_RELEASE); }

  char LocaleDecimalSeparator() override {
    wchar_t text[4] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 4) <= 0) return '.';
    // The first character of the symbol, as on POSIX systems; '.' for one
    // outside ASCII, which no decimal text here could hold.
    return text[0] > 0 && text[0] < 128 ? static_cast<char>(text[0]) : '.';
  }

  int CoreCount() override {
    const DWORD count = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return static_cast<int>(std::max<DWORD>(1, count));
  }
};

}  // namespace

Env& Env::Default() {
  static WindowsEnv env;
  return env;
}

}  // namespace pelmoro

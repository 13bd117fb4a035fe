// The Windows system (Win32, x86-64).
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "os/env.h"
#include "os/windows_output.h"
#include "os/windows_support.h"

namespace pelmoro {

namespace {

using namespace windows;

std::atomic<void (*)(StopEvent)> stop_handler{nullptr};

// Runs on a thread of the console's own. Ctrl-C and Ctrl-Break only ask;
// for a closed console, a log-off or a shut-down the system ends the
// process when this returns, so it waits, giving the program the few
// seconds it has to abandon its outputs and exit by itself.
BOOL WINAPI OnConsoleEvent(DWORD type) {
  void (*handler)(StopEvent) = stop_handler.load();
  if (handler == nullptr) return FALSE;
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      handler(StopEvent::kInterrupt);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      handler(StopEvent::kHangUp);
      break;
    default:
      handler(StopEvent::kTerminate);
      break;
  }
  ::Sleep(INFINITE);
  return TRUE;
}

struct ThreadStart {
  void (*run)(void*);
  void* argument;
  unsigned short x87_control;  // the starting thread's
};

unsigned __stdcall RunThread(void* start) {
  const ThreadStart begin = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  SetX87Control(begin.x87_control);
  begin.run(begin.argument);
  return 0;
}

class WindowsEnv final : public Env {
 public:
  bool StatPath(const std::string& name, FileStatus* status) override {
    const std::wstring wide = Wide(name);
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return false;
    // No access asked: the file's facts only. Folders open only with
    // backup semantics.
    const HANDLE file = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = StatusOf(file, status) == 0;
    ::CloseHandle(file);
    return known;
  }

  int Open(const std::string& name, OpenFor how, FileHandle* file) override {
    if (how == OpenFor::kReading && name == StandardInputName()) {
      // A file is opened afresh, at its start and with a position of its
      // own, as /dev/stdin opens it on Linux: every reader of the input
      // then reads it whole. A pipe or console is shared.
      const HANDLE input = StreamHandle(0);
      if (::GetFileType(input) == FILE_TYPE_DISK) {
        const HANDLE again = ::ReOpenFile(input, GENERIC_READ, kShareAll, 0);
        if (again != INVALID_HANDLE_VALUE) {
          *file = reinterpret_cast<FileHandle>(again);
          return 0;
        }
        // Where it cannot be opened again (Wine), the one position goes
        // back to the start for each reader in turn.
        ::SetFilePointerEx(input, LARGE_INTEGER{}, nullptr, FILE_BEGIN);
      }
      return Duplicate(reinterpret_cast<FileHandle>(input), file);
    }
    const std::wstring wide = Wide(name);
    if (wide.empty()) return ENOENT;
    // Others may read a file being read or written; a file being written
    // is no other program's to write meanwhile.
    const HANDLE handle = how == OpenFor::kReading
                              ? ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                              : ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = reinterpret_cast<FileHandle>(handle);
    return 0;
  }

  int Inspect(FileHandle file, FileStatus* status) override {
    if (const int error = StatusOf(Handle(file), status); error != 0) return error;
    DWORD mode = 0;
    status->terminal =
        status->kind == FileKind::kDevice && ::GetConsoleMode(Handle(file), &mode) != 0;
    return 0;
  }

  int Read(FileHandle file, char* into, std::size_t bytes, std::size_t* got) override {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes, kLargestTransfer));
    if (!::ReadFile(Handle(file), into, want, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      // A pipe whose writer has gone: the end of its data.
      if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) return ErrnoOf(error);
      n = 0;
    }
    *got = n;
    return 0;
  }

  int Write(FileHandle file, const char* from, std::size_t bytes, std::size_t* put) override {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes, kLargestTransfer));
    if (!::WriteFile(Handle(file), from, want, &n, nullptr)) return LastError();
    *put = n;
    return 0;
  }

  int Close(FileHandle file) override { return ::CloseHandle(Handle(file)) ? 0 : LastError(); }

  int Duplicate(FileHandle file, FileHandle* copy) override {
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), Handle(file), ::GetCurrentProcess(), &duplicate,
                           0, FALSE, DUPLICATE_SAME_ACCESS)) {
      return LastError();
    }
    *copy = reinterpret_cast<FileHandle>(duplicate);
    return 0;
  }

  // Windows flushes a file's data and its facts together.
  int FlushToDisk(FileHandle file, bool) override {
    if (::GetFileType(Handle(file)) != FILE_TYPE_DISK) return 0;
    return ::FlushFileBuffers(Handle(file)) ? 0 : LastError();
  }

  int CutFile(FileHandle file, std::uint64_t bytes) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(bytes);
    if (!::SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN)) return LastError();
    return ::SetEndOfFile(Handle(file)) ? 0 : LastError();
  }

  // The system writes out on its own; there is no request to hurry it.
  void StartWriteOut(FileHandle) override {}

  int ReadAt(FileHandle file, char* into, std::size_t bytes, std::uint64_t offset,
             std::size_t* got) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes, kLargestTransfer));
    if (!::ReadFile(Handle(file), into, want, &n, &at)) {
      if (::GetLastError() != ERROR_HANDLE_EOF) return LastError();
      n = 0;
    }
    *got = n;
    return 0;
  }

  // A hidden file no other program may open, deleted by the system when
  // its last handle closes: also when the process is ended from outside.
  int CreateScratch(const std::string& folder, FileHandle* file) override {
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::wstring name = Wide(folder) + L"\\~pelmoro-" + RandomTag() + L".tmp";
      const HANDLE handle = ::CreateFileW(
          name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
          FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
      if (handle != INVALID_HANDLE_VALUE) {
        *file = reinterpret_cast<FileHandle>(handle);
        return 0;
      }
      if (::GetLastError() != ERROR_FILE_EXISTS) return LastError();
    }
    return EEXIST;
  }

  std::string TemporaryFolder() override {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH) return ".";
    std::string folder = Narrow(path);
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
  }

  int ResolveOutput(const std::string& name, OutputTarget* target) override {
    return windows::ResolveOutput(name, target);
  }

  int CreateReplacement(const OutputTarget& target, Replacement* replacement) override {
    return windows::CreateReplacement(target, replacement);
  }

  int PublishReplacement(Replacement* replacement) override {
    return windows::PublishReplacement(replacement);
  }

  void DiscardReplacement(Replacement* replacement) noexcept override {
    windows::DiscardReplacement(replacement);
  }

  // Replacements are marked for deletion: the system removes them however
  // the process ends.
  void RemoveTemporariesOnAbruptEnd() override {}

  FileHandle StandardStream(int stream) override {
    return reinterpret_cast<FileHandle>(StreamHandle(stream));
  }

  std::uint64_t BytesAhead(FileHandle file) override { return windows::BytesAhead(file); }

  std::optional<std::uint64_t> FreeBytesOn(FileHandle file) override {
    wchar_t path[32768];
    const DWORD n = ::GetFinalPathNameByHandleW(Handle(file), path, 32768, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= 32768) return std::nullopt;
    std::wstring folder(path, n);
    folder.resize(folder.find_last_of(L'\\') + 1);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
  }

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

  // Japanese when the display language is, English otherwise: the
  // languages the program has messages in.
  std::string MessageLanguage() override {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? "ja" : "en";
  }

  char LocaleDecimalSeparator() override {
    wchar_t text[4] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 4) <= 0) return '.';
    // The first character of the symbol, as on POSIX systems; '.' for one
    // outside ASCII, which no decimal text here could hold.
    return text[0] > 0 && text[0] < 128 ? static_cast<char>(text[0]) : '.';
  }

  void PrepareStandardStreams() override {
    for (const int stream : {0, 1, 2}) ::_setmode(stream, _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
    // The progress line redraws itself with the terminal's escapes.
    DWORD mode = 0;
    if (::GetConsoleMode(StreamHandle(2), &mode)) {
      ::SetConsoleMode(StreamHandle(2), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    if (StreamHandle(2) == nullptr || StreamHandle(2) == INVALID_HANDLE_VALUE) {
      std::freopen("NUL", "wb", stderr);
    }
  }

  std::vector<std::string> Arguments(int argc, const char* const* argv) override {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
  }

  // '<' cannot stand in a Windows file name: no file is called this.
  std::string StandardInputName() override { return "<standard input>"; }

  bool IsTerminal(int stream) override {
    DWORD mode = 0;
    return ::GetConsoleMode(StreamHandle(stream), &mode) != 0;
  }

  int TerminalColumns(int stream) override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(StreamHandle(stream), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
  }

  void WatchStopEvents(void (*handler)(StopEvent)) override {
    stop_handler.store(handler);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  }

  void EndByStopEvent(StopEvent event) override {
    std::fflush(nullptr);
    ::ExitProcess(128 + static_cast<UINT>(event));
  }

  bool StartThread(std::size_t stack_bytes, void (*run)(void*), void* argument,
                   std::uintptr_t* thread) override {
    auto* start = new (std::nothrow) ThreadStart{run, argument, X87Control()};
    if (start == nullptr) return false;
    // The C runtime's own start, so that it sets the thread up for itself.
    const std::uintptr_t started =
        ::_beginthreadex(nullptr, static_cast<unsigned>(stack_bytes), RunThread, start,
                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (started == 0) {
      delete start;
      return false;
    }
    *thread = started;
    return true;
  }

  void JoinThread(std::uintptr_t thread) override {
    const HANDLE handle = reinterpret_cast<HANDLE>(thread);
    ::WaitForSingleObject(handle, INFINITE);
    ::CloseHandle(handle);
  }

  std::string ExecutablePath() override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return {};
      if (n < path.size()) {
        path.resize(n);
        return Narrow(path.c_str());
      }
      path.resize(path.size() * 2);
    }
  }

  // Windows makes processes afresh; none is forked.
  void CallInForkedChild(void (*)()) override {}

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

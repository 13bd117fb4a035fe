// What the Windows side of Env shares between its parts: texts between
// UTF-8 and the system's UTF-16, the standard streams' handles, the
// system's errors as errno values, a file's facts by its handle.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "os/env.h"

namespace pelmoro::windows {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile take 32-bit counts; a multiple of the text block.
inline constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

inline HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// UTF-8 to the system's UTF-16; an empty text for bytes that are no UTF-8
// (no file has that name).
std::wstring Wide(const std::string& text);
// The system's UTF-16 to UTF-8.
std::string Narrow(const wchar_t* text);
// The handle of standard stream 0, 1 or 2.
HANDLE StreamHandle(int stream);
// The system's errors as the errno values the program tells failures by;
// one without such a value keeps its number (kSystemError + it).
int ErrnoOf(DWORD error);
int LastError();
// The facts of an open file; 0 or the failure.
int StatusOf(HANDLE file, FileStatus* status);
// Eight hexadecimal digits no other name in the folder is likely to have.
std::wstring RandomTag();

// The x87 unit's control word, whose precision decides every long double
// result: Windows starts each new thread at 53-bit precision (the C runtime
// sets 64 bits for the first thread only), so a thread takes its starter's.
unsigned short X87Control();
void SetX87Control(unsigned short word);

}  // namespace pelmoro::windows

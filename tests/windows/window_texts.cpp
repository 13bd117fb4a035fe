// window_texts.exe TITLE: what a person reads in the open windows captioned
// TITLE (a message box, the converter's window): one line per window, its
// class, then the texts of its controls in their order, in UTF-8, "|"
// between them. Exits with 1 when no window has that caption. It only
// reads: the window tests of scripts/test-windows-window.sh use it to read
// message boxes, which Wine draws itself.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
  return bytes;
}

std::wstring TextOf(HWND window) {
  // Another process's controls: WM_GETTEXT crosses processes, which
  // GetWindowText does not for controls.
  const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

std::wstring ClassOf(HWND window) {
  wchar_t kind[64] = {};
  ::GetClassNameW(window, kind, 64);
  return kind;
}

struct Search {
  std::wstring title;
  int found = 0;
};

BOOL CALLBACK AddChild(HWND child, LPARAM line) {
  auto* text = reinterpret_cast<std::wstring*>(line);
  *text += L'|';
  *text += TextOf(child);
  return TRUE;
}

BOOL CALLBACK ReportWindow(HWND window, LPARAM search_address) {
  auto* search = reinterpret_cast<Search*>(search_address);
  if (!::IsWindowVisible(window) || TextOf(window) != search->title) return TRUE;
  std::wstring line = ClassOf(window);
  ::EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&line));
  std::printf("%s\n", Utf8(line).c_str());
  ++search->found;
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_texts TITLE\n");
    return 2;
  }
  Search search{argv[1]};
  ::EnumWindows(ReportWindow, reinterpret_cast<LPARAM>(&search));
  return search.found > 0 ? 0 : 1;
}

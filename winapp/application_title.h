// The application title: the caption of every message box and error box.
#pragma once

#include <string>

namespace pelmoro::winapp {

// The executable's file name without its folder ("\" or "/"), cut before
// its first ".", every character after the first in lower case and the
// first as it is: "C:\Tools\CONVERT.EXE" gives "Convert".
std::wstring TitleFromExecutable(const std::wstring& executable_path);

// The title of the running program, from the module that runs.
const std::wstring& ApplicationTitle();

}  // namespace pelmoro::winapp

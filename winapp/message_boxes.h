// The two kinds of box through which the window speaks to the user.
#pragma once

#include <windows.h>

#include <string_view>

namespace pelmoro::winapp {

// Shows a modal message box owned by owner: caption the application title,
// the UTF-8 text with its line breaks, no icon, one OK button that both
// Enter and Esc press. Returns when the user closes it; with close_at_once
// it closes again by itself as soon as it is shown. The arithmetic's
// settings are the same afterwards.
void ShowMessageBox(HWND owner, std::string_view text, bool close_at_once);

// The box for an error that ended a run: as the message box, with the stop
// icon; the text as given (ErrorBoxText has made it).
void ShowErrorBox(HWND owner, std::string_view text, bool close_at_once);

}  // namespace pelmoro::winapp

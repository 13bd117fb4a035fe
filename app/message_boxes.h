// The two kinds of box through which the program speaks to the user.
#pragma once

#include <string>
#include <string_view>

#include "run/messages.h"

namespace pelmoro {

// Shows a modal message box: caption the application title, the UTF-8 text
// with its line breaks ("\r\n" or "\n"), no icon, one OK button that both
// Enter and Esc press, in the middle of the screen. Returns when the user
// closes it; with close_at_once it closes again by itself as soon as it has
// been shown. The floating-point environment is the same afterwards.
void ShowMessageBox(std::string_view text, bool close_at_once = false);

// Shows the error box for an error that left a handler: as the message box,
// but with the critical (stop) icon and ErrorBoxText(message) as its text.
void ShowErrorBox(std::string_view message, bool close_at_once = false);

// The error box with text as it stands, its final "." already settled.
void ShowErrorBoxText(std::string_view text, bool close_at_once = false);

}  // namespace pelmoro

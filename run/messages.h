// What a run tells the user in the program's own words, the same in the
// window and on the command line.
#pragma once

#include <string>
#include <string_view>

namespace pelmoro {

// How a run ended: every row written, or a stop request honoured (one
// that came before the closing; a later one is too late to stop it).
enum class RunOutcome { kComplete, kStopped };

inline constexpr char kCompleteMessage[] = "Complate !";
inline constexpr char kBreakMessage[] = "Break !";
inline constexpr char kPitchTooSmallMessage[] = "Error!\r\nPitch larger than 0.025";
inline constexpr char kPitchRangeMessage[] = "Error!\r\n0.025 < Pitch < 6.375";
inline constexpr char kNotEnoughMemoryMessage[] = "not enough memory for this model";

// The pitch field's initial text and what it comes to in grid units.
inline constexpr char kDefaultPitchText[] = "0.1";
inline constexpr int kDefaultPitch = 4;

// The message a finished run closes with.
inline const char* ClosingMessage(RunOutcome outcome) {
  return outcome == RunOutcome::kComplete ? kCompleteMessage : kBreakMessage;
}

// An error's message as the user reads it (the window's error box, the
// command line's stderr): with "." appended when the message is not empty
// and its last character sorts after ".". Messages are UTF-8, so every
// character beyond ASCII (a Japanese one too) gets the "." and ".", ")",
// "!", a space and the other characters below "." do not.
std::string ErrorBoxText(std::string_view message);

}  // namespace pelmoro

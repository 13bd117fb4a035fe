// How stl2hzm words an error or a warning on stderr: in English, or in the
// words of the message catalog of the user's language (the Japanese one
// gives the converter's own texts, as the window shows them).
#pragma once

#include <string>
#include <vector>

#include "engine/read/reading_notes.h"
#include "foundation/errors.h"

namespace pelmoro::cli {

// One of the converter's own messages (run/message_templates.h) in the
// words of the message catalog; as it stands when it is none of them.
std::string TranslateMessage(const std::string& message);

// The text with its CR LF line breaks (the program's own messages) as the
// terminal wants them, LF.
std::string ForTerminal(const std::string& text);

// One line without its line end. file is the input or output the error
// concerns as the user named it. An error inside an input is placed in the
// GNU form "FILE:LINE: message"; a failed file operation says what could
// not be done and why ("cannot open part.stl: it is a folder"). A name
// with control characters in it is quoted, as FileNameForMessages does.
std::string ErrorLine(const Exception& error, const std::string& file);

// The warnings about a model that was read without a stop: bytes after a
// Ctrl-Z, an incomplete last triangle, a missing "endsolid", no triangle
// at all. One line each, in that order.
std::vector<std::string> WarningLines(const std::string& file, const ReadingNotes& notes,
                                      std::int32_t triangles);

}  // namespace pelmoro::cli

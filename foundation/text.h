// Cutting byte strings, and quoting them in messages. Positions are 1-based.
#pragma once

#include <string>
#include <string_view>

namespace pelmoro {

// The text without its leading characters with codes 0 to 32.
std::string_view StripLeading(std::string_view text);

// 1-based position of the last occurrence of c in text; 0 when none.
int FindLastOf(char c, std::string_view text);

// The text between single quotes followed by rest: how messages name a
// refused text.
std::string QuotedText(std::string_view text, std::string_view rest);

// A file name as messages show it: as it is, unless it holds a control
// character (codes 0 to 31 and 127), which would break the message's line
// or hide part of it. Then, as GNU programs quote such names, it is put
// between single quotes with each control character written as a C escape
// (\n, \t, \r, \a, \b, \f, \v, else three octal digits) and every
// backslash and single quote escaped with a backslash: 'a\nb.stl'.
std::string FileNameForMessages(std::string_view name);

}  // namespace pelmoro

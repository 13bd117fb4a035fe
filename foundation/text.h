// Cutting and comparing byte strings. Positions are 1-based.
#pragma once

#include <string>
#include <string_view>

namespace pelmoro {

// The text without its leading characters with codes 0 to 32.
std::string_view StripLeading(std::string_view text);

// count characters from position start (start <= 0 counts as 1); empty when
// start lies past the end or count < 0; cut at the end.
std::string CopyChars(std::string_view text, int start, int count);

// Removes count characters from position start on, in place; nothing when
// start <= 0, start past the end, or count <= 0.
void DeleteChars(std::string& text, int start, int count);

// 1-based position of the first occurrence of pattern in text; 0 when there
// is none or either is empty.
int PositionOf(std::string_view pattern, std::string_view text);

// 1-based position of the last occurrence of c in text; 0 when none.
int FindLastOf(char c, std::string_view text);

// The text between single quotes followed by rest: how messages name a
// refused text.
std::string QuotedText(std::string_view text, std::string_view rest);

// Same length and the same bytes once ASCII a-z are folded to A-Z.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace pelmoro

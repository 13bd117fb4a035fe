#include "run/message_templates.h"

namespace pelmoro {

namespace {

// Marks a text for xgettext (--keyword=N_); it stays the English text.
constexpr const char* N_(const char* text) { return text; }

// Longer and more particular templates before those they would also fit.
const char* const kTemplates[] = {
    N_("not an STL file: {what}"),
    N_("the file is empty"),
    N_("it begins like a PNG image"),
    N_("it begins like a JPEG image"),
    N_("it begins like a ZIP archive (a 3MF model is one)"),
    N_("it begins like a PDF document"),
    N_("it begins like a gzip-compressed file; unpack it first"),
    N_("it looks like an OBJ model (\"v\" and \"f\" lines); convert it to STL"),
    N_("it looks like a 3MF model (a ZIP archive); export it as STL"),
    N_("it looks like a PLY model; export it as STL"),
    N_("it looks like an OFF model; export it as STL"),
    N_("it looks like UTF-32 text; save it as ASCII or UTF-8"),
    N_("it looks like UTF-16 text; save it as ASCII or UTF-8"),
    N_("plain text without a \"solid\" line or vertex lines"),
    N_("binary data of {size} bytes, too short for a binary STL header"),
    N_("binary data of {size} bytes, where a binary STL of {count} triangles (its header's "
       "count) has {expected}"),
    N_("binary data with bytes after the last of the {count} triangles its header counts"),
    N_("binary data"),
    N_("truncated binary STL: the header promises {promised} triangles, the file holds {held}"),
    N_("a binary STL of {count} triangles is more than the 2147483647 that can be converted"),
    N_("triangle {triangle}: vertex {vertex} {axis} is not a number (nan)"),
    N_("triangle {triangle}: vertex {vertex} {axis} is not a finite number ({value})"),
    N_("triangle {triangle}: vertex {vertex} {axis}: {what}"),
    N_("'{text}' is outside the coordinate range of -{limit} to {limit} {unit}"),
    N_("the height map needs at least {needed} bytes, only {free} are free on the disk of "
       "{files}"),
    N_("the height maps need at least {needed} bytes together, only {free} are free on the "
       "disk of {files}"),
    N_("Error!\r\nThe output file is the input file: {file}"),
    N_("not enough memory for this model"),
    N_("PNG: out of memory"),
    N_("PNG: the pixels could not be compressed"),
    N_("PNG: {what}"),
    N_("the bottom side cannot be seen of a vertex at -2147483648 grid units, the lowest height "
       "the grid holds"),
};

// The value of a field ends where the template's next literal text begins
// (its first occurrence); the last field takes the rest. A field that
// occurs twice must have the same value both times.
bool MatchTemplate(std::string_view pattern, std::string_view text, MessageMatch& match) {
  std::size_t at = 0;
  while (!pattern.empty()) {
    const std::size_t open = pattern.find('{');
    const std::string_view literal = pattern.substr(0, open);
    if (text.substr(at, literal.size()) != literal) return false;
    at += literal.size();
    if (open == std::string_view::npos) return at == text.size();
    const std::size_t close = pattern.find('}', open);
    const std::string name(pattern.substr(open + 1, close - open - 1));
    pattern = pattern.substr(close + 1);
    const std::string_view next = pattern.substr(0, pattern.find('{'));
    const std::size_t end = next.empty() ? text.size() : text.find(next, at);
    if (end == std::string_view::npos || end == at) return false;
    std::string value(text.substr(at, end - at));
    at = end;
    for (const auto& [earlier, earlier_value] : match.fields) {
      if (earlier == name && earlier_value != value) return false;
    }
    match.fields.emplace_back(name, std::move(value));
  }
  return at == text.size();
}

std::string Fill(std::string text, const std::string& name, const std::string& value) {
  const std::string key = "{" + name + "}";
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}

}  // namespace

std::optional<MessageMatch> MatchMessageTemplate(std::string_view message) {
  for (const char* id : kTemplates) {
    MessageMatch match{id, {}};
    if (!MatchTemplate(id, message, match)) continue;
    bool nested = true;  // a "what" must be a message of the table itself
    for (const auto& [name, value] : match.fields) {
      if (name == "what" && !MatchMessageTemplate(value)) nested = false;
    }
    if (nested) return match;
  }
  return std::nullopt;
}

std::vector<const char*> MessageTemplates() {
  return std::vector<const char*>(std::begin(kTemplates), std::end(kTemplates));
}

std::string TranslateMessage(std::string_view message,
                             const std::function<std::string(const char* id)>& translate,
                             const GivenFields& given) {
  const std::optional<MessageMatch> match = MatchMessageTemplate(message);
  if (!match) return std::string(message);
  std::string text = translate(match->id);
  for (const auto& [name, value] : match->fields) {
    std::string shown = name == "what" ? TranslateMessage(value, translate) : value;
    for (const auto& [given_name, given_value] : given) {
      if (given_name == name) shown = given_value;
    }
    text = Fill(std::move(text), name, shown);
  }
  return text;
}

}  // namespace pelmoro

// The converter's own English messages as templates, so that a front end
// can give them in the user's language: each is the text of an error the
// reader, the scan or the outputs raise, with "{name}" where a value stands.
// A field named "what" holds a message of its own, translated in turn.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmoro {

struct MessageMatch {
  const char* id;                                           // the template
  std::vector<std::pair<std::string, std::string>> fields;  // name, value as in the message
};

// The first template, in the order of the table, that message is an
// instance of, with the values of its fields; nullopt when none fits.
std::optional<MessageMatch> MatchMessageTemplate(std::string_view message);

// Every template, for the tests that check a catalog gives them all.
std::vector<const char*> MessageTemplates();

// The message in the words translate(id) gives for its template, the fields
// filled in ("what" fields translated first); the message as it stands when
// no template fits. translate returns the id itself when it has no text.
// given: fields whose values the caller words itself (by name), in place of
// the message's English ones.
using GivenFields = std::vector<std::pair<std::string, std::string>>;
std::string TranslateMessage(std::string_view message,
                             const std::function<std::string(const char* id)>& translate,
                             const GivenFields& given = {});

}  // namespace pelmoro

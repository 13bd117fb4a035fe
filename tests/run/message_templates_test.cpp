// The converter's messages found again in their templates, and translated
// through them.
#include "run/message_templates.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pelmoro {
namespace {

struct TemplateCase {
  const char* label;
  std::string message;
  std::string translated;  // through the test dictionary below; "" when none fits
};

void PrintTo(const TemplateCase& c, std::ostream* os) { *os << c.label; }

// A dictionary that upper-cases a template's words but keeps its fields.
std::string Shout(const char* id) {
  std::string text = id;
  bool in_field = false;
  for (char& c : text) {
    if (c == '{' || c == '}') in_field = c == '{';
    if (!in_field && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

class MessageTemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(MessageTemplateTest, TranslatesThroughItsTemplate) {
  const TemplateCase& c = GetParam();
  EXPECT_EQ(MatchMessageTemplate(c.message).has_value(), !c.translated.empty());
  EXPECT_EQ(TranslateMessage(c.message, Shout), c.translated.empty() ? c.message : c.translated);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageTemplateTest,
    ::testing::Values(
        TemplateCase{"Plain", "the file is empty", "THE FILE IS EMPTY"},
        TemplateCase{"NestedMessage", "not an STL file: it begins like a PDF document",
                     "NOT AN STL FILE: IT BEGINS LIKE A PDF DOCUMENT"},
        TemplateCase{"Fields",
                     "truncated binary STL: the header promises 9 triangles, the file holds 2",
                     "TRUNCATED BINARY STL: THE HEADER PROMISES 9 TRIANGLES, THE FILE HOLDS 2"},
        TemplateCase{"FieldTwiceWithOneValue",
                     "'1e12' is outside the coordinate range of -53687091 to 53687091 mm",
                     "'1e12' IS OUTSIDE THE COORDINATE RANGE OF -53687091 TO 53687091 mm"},
        TemplateCase{"FieldTwiceWithTwoValues",
                     "'1e12' is outside the coordinate range of -5 to 6 mm", ""},
        TemplateCase{"NestedInATriangle",
                     "triangle 4: vertex 2 y: '3e9' is outside the coordinate range of -2 to 2 in",
                     "TRIANGLE 4: VERTEX 2 y: '3e9' IS OUTSIDE THE COORDINATE RANGE OF -2 TO 2 in"},
        // A "what" must be a message of the table: libpng's own words are not.
        TemplateCase{"UnknownNestedMessage", "PNG: Invalid IHDR data", ""},
        TemplateCase{"UnknownNestedAfterKnownPrefix", "not an STL file: it is a teapot", ""},
        TemplateCase{"TextAfterTheTemplate", "the file is empty, really", ""},
        TemplateCase{"OtherMessage", "cannot open part.stl: no such file", ""}),
    [](const auto& info) { return std::string(info.param.label); });

// A field the caller words itself takes the place of the message's own.
TEST(MessageTemplatesTest, GivenFieldsReplaceTheMessagesValues) {
  const std::string message =
      "the height maps need at least 10 bytes together, only 2 are free on the disk of a and b";
  EXPECT_EQ(TranslateMessage(message, Shout, {{"files", "a+b"}}),
            "THE HEIGHT MAPS NEED AT LEAST 10 BYTES TOGETHER, ONLY 2 ARE FREE ON THE DISK OF a+b");
  EXPECT_EQ(
      TranslateMessage(message, Shout),
      "THE HEIGHT MAPS NEED AT LEAST 10 BYTES TOGETHER, ONLY 2 ARE FREE ON THE DISK OF a and b");
}

// Every template is found again in itself, fields and all, and no earlier
// template of the table takes it instead.
TEST(MessageTemplatesTest, EveryTemplateIsFoundAsItself) {
  for (const char* id : MessageTemplates()) {
    SCOPED_TRACE(id);
    const std::optional<MessageMatch> match = MatchMessageTemplate(id);
    if (std::string(id).find("{what}") != std::string::npos) {
      EXPECT_FALSE(match.has_value());  // "{what}" itself is no message
      continue;
    }
    ASSERT_TRUE(match.has_value());
    EXPECT_STREQ(match->id, id);
  }
}

}  // namespace
}  // namespace pelmoro

// stl2hzm --help in the catalog's words: every paragraph and every option of
// it has its Japanese text, so that a Japanese locale reads no English there.
#include <gtest/gtest.h>

#include <string>

#include "cli/catalog.h"
#include "cli/catalog_embedded.h"
#include "cli/help.h"

namespace pelmoro::cli {
namespace {

class HelpCatalogTest : public ::testing::Test {
 protected:
  void TearDown() override { SetMessageLanguage("en"); }
};

TEST_F(HelpCatalogTest, EveryPieceOfTheHelpHasItsJapaneseText) {
  const std::vector<std::string> ids = HelpTextIds();
  ASSERT_GT(ids.size(), 20u);
  SetMessageLanguage("ja");
  for (const std::string& id : ids) EXPECT_NE(Translate(id.c_str()), id);
}

TEST_F(HelpCatalogTest, JapaneseHelpHoldsNoEnglishPiece) {
  SetMessageLanguage("ja");
  const std::string japanese = HelpText();
  EXPECT_EQ(japanese.rfind("使い方: stl2hzm [--pitch MM]", 0), 0u) << japanese;
  for (const std::string& id : HelpTextIds()) EXPECT_EQ(japanese.find(id), std::string::npos) << id;
}

// The pieces put together again are the English help, line ends and all.
TEST_F(HelpCatalogTest, EnglishHelpIsItsPiecesInOrder) {
  const std::string english = HelpText();
  std::size_t at = 0;
  for (const std::string& id : HelpTextIds()) {
    const std::size_t found = english.find(id, at);
    ASSERT_EQ(found, at) << id;
    at = found + id.size();
    while (at < english.size() && english[at] == '\n') ++at;
  }
  EXPECT_EQ(at, english.size());
  EXPECT_EQ(english.rfind("Usage: stl2hzm ", 0), 0u);
  EXPECT_NE(english.find("\n\nOptions:\n  --pitch MM "), std::string::npos);
}

}  // namespace
}  // namespace pelmoro::cli

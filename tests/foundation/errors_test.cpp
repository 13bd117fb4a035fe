#include "foundation/errors.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmoro {
namespace {

struct IoCase {
  const char* name;
  int code;
  const char* message;
};

class IoErrorMessageTest : public ::testing::TestWithParam<IoCase> {};

TEST_P(IoErrorMessageTest, MessageForCode) {
  EXPECT_EQ(IoErrorMessage(GetParam().code), GetParam().message);
  const EInOutError error(GetParam().code);
  EXPECT_EQ(error.code(), GetParam().code);
  EXPECT_EQ(error.message(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, IoErrorMessageTest,
    ::testing::Values(IoCase{"FileNotFound", 2, "ファイルが見つかりません"},
                      IoCase{"PathNotFound", 3, "不正なファイル名です"},
                      IoCase{"TooManyOpenFiles", 4, "オープンしたファイルが多すぎます"},
                      IoCase{"AccessDenied", 5, "ファイルへのアクセスが拒否されました"},
                      IoCase{"ReadPastEnd", 100, "ファイルの末尾以降を読み込みました"},
                      IoCase{"DiskFull", 101, "ディスクがいっぱいです"},
                      IoCase{"NotANumber", 106, "入力値が数値ではありません"},
                      IoCase{"SharingViolation", 32, "I/O エラー (32)"},
                      IoCase{"NotOpen", 103, "I/O エラー (103)"},
                      IoCase{"DiskFullOs", 112, "I/O エラー (112)"},
                      IoCase{"Zero", 0, "I/O エラー (0)"},
                      IoCase{"Negative", -1, "I/O エラー (-1)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmoro

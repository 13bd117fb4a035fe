// Text-file failures: the codes of failed opens and of operations in the
// wrong state, how errno values map to codes, and the pending code.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "tests/support/reference_line_reader.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::CatchIoResult;
using testing::ReferenceLineReader;
using testing::TempDir;

struct OpenFailure {
  const char* name;
  std::function<std::string(const TempDir&)> path;
  bool for_writing;
  int code;
  const char* message;
};

TEST(TextFileErrors, FailedOpensLeaveTheirCode) {
  const char* const kMissingFile = "ファイルが見つかりません";
  const char* const kBadName = "不正なファイル名です";
  const char* const kDenied = "ファイルへのアクセスが拒否されました";
  const std::vector<OpenFailure> cases = {
      {"missing_file", [](const TempDir& d) { return d.File("none.stl"); }, false, 2, kMissingFile},
      {"missing_folder", [](const TempDir& d) { return d.File("none/a.stl"); }, false, 3, kBadName},
      {"create_in_missing_folder", [](const TempDir& d) { return d.File("none/a.hzm"); }, true, 3,
       kBadName},
      {"file_used_as_folder", [](const TempDir& d) { return d.Write("f", "") + "/a.stl"; }, false,
       3, kBadName},
      {"name_too_long", [](const TempDir& d) { return d.File(std::string(300, 'n')); }, false, 3,
       kBadName},
      {"name_with_nul", [](const TempDir& d) { return d.Write("a", "x") + std::string(1, '\0'); },
       false, 3, kBadName},
      {"folder_read", [](const TempDir& d) { return d.path().string(); }, false, 5, kDenied},
      {"folder_created", [](const TempDir& d) { return d.path().string(); }, true, 5, kDenied},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    TextFile file;
    const std::string path = c.path(dir);
    c.for_writing ? CreateTextForWriting(file, path) : OpenTextForReading(file, path);
    EXPECT_EQ(file.mode(), TextMode::kClosed);
    EXPECT_EQ(CatchIoResult(), std::make_pair(c.code, std::string(c.message)));
    EXPECT_EQ(PendingIoCode(), 0);  // raising cleared it
  }
}

TEST(TextFileErrors, DeniedFileGivesFive) {
  if (testing::RunningAsRoot()) GTEST_SKIP() << "permission bits deny nothing to root";
  TempDir dir;
  const std::string path = dir.Write("secret.stl", "solid x\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  TextFile file;
  OpenTextForReading(file, path);
  EXPECT_EQ(CatchIoResult().first, 5);
  CreateTextForWriting(file, path);
  EXPECT_EQ(CatchIoResult().first, 5);
}

TEST(TextFileErrors, ErrnoMapsToCodes) {
  TempDir dir;
  const struct {
    const char* name;
    int error;
    std::string path;
    int code;
  } cases[] = {
      {"missing_file", ENOENT, dir.File("x"), 2},
      {"missing_file_bare_name", ENOENT, "surely-not-here.stl", 2},
      {"missing_folder", ENOENT, dir.File("no/x"), 3},
      {"not_a_folder", ENOTDIR, "", 3},
      {"name_too_long", ENAMETOOLONG, "", 3},
      {"too_many_open", EMFILE, "", 4},
      {"too_many_in_system", ENFILE, "", 4},
      {"access", EACCES, "", 5},
      {"permission", EPERM, "", 5},
      {"read_only_system", EROFS, "", 5},
      {"is_folder", EISDIR, "", 5},
      {"no_space", ENOSPC, "", 112},
      {"quota", EDQUOT, "", 112},
      {"device_error", EIO, "", 1117},
      {"other_keeps_number", EFBIG, "", EFBIG},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IoCodeFromErrno(c.error, c.path), c.code) << c.name;
  }
  EXPECT_EQ(EInOutError(1117).message(), "I/O エラー (1117)");
}

TEST(TextFileErrors, WrongStateCodes) {
  TempDir dir;
  const std::string input = dir.Write("in.stl", "a\n");
  const struct {
    const char* name;
    TextMode mode;
    std::function<void(TextFile&)> op;
    int code;
  } cases[] = {
      {"at_end_closed", TextMode::kClosed,
       [](TextFile& f) { EXPECT_TRUE(ReferenceLineReader(f).AtEnd()); }, 103},
      {"read_closed", TextMode::kClosed,
       [](TextFile& f) { EXPECT_EQ(ReferenceLineReader(f).ReadLine(), ""); }, 103},
      {"bytes_closed", TextMode::kClosed,
       [](TextFile& f) {
         char c = 'x';
         EXPECT_EQ(ReadTextBytes(f, &c, 1), 0u);
       },
       103},
      {"put_closed", TextMode::kClosed, [](TextFile& f) { PutText(f, "x"); }, 103},
      {"close_closed", TextMode::kClosed, [](TextFile& f) { CloseText(f); }, 103},
      {"size_closed", TextMode::kClosed, [](TextFile& f) { EXPECT_EQ(TextSizeInBlocks(f), -1); },
       103},
      {"position_closed", TextMode::kClosed,
       [](TextFile& f) { EXPECT_EQ(TextPositionInBlocks(f), -1); }, 103},
      {"at_end_writing", TextMode::kWriting,
       [](TextFile& f) { EXPECT_TRUE(ReferenceLineReader(f).AtEnd()); }, 104},
      {"read_writing", TextMode::kWriting,
       [](TextFile& f) { ReferenceLineReader(f).ReadLineView(); }, 104},
      {"bytes_writing", TextMode::kWriting,
       [](TextFile& f) {
         char c = 'x';
         EXPECT_EQ(ReadTextBytes(f, &c, 1), 0u);
       },
       104},
      {"put_reading", TextMode::kReading, [](TextFile& f) { PutChar(f, 'x'); }, 105},
      {"line_end_reading", TextMode::kReading, [](TextFile& f) { EndTextLine(f); }, 105},
      {"line_reading", TextMode::kReading, [](TextFile& f) { WriteTextLine(f, "x"); }, 105},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextFile file;
    if (c.mode == TextMode::kReading) OpenTextForReading(file, input);
    if (c.mode == TextMode::kWriting) CreateTextForWriting(file, dir.File("out.hzm"));
    ASSERT_EQ(PendingIoCode(), 0);
    c.op(file);
    EXPECT_EQ(CatchIoResult(),
              std::make_pair(c.code, "I/O エラー (" + std::to_string(c.code) + ")"));
  }
  EXPECT_EQ(testing::ReadFileBytes(input), "a\n");  // a file open for reading takes nothing
}

TEST(TextFileErrors, PendingCodeIsPerThreadAndLatestWins) {
  SetPendingIoCode(2);
  SetPendingIoCode(5);
  int seen_elsewhere = -1;
  std::thread([&] { seen_elsewhere = PendingIoCode(); }).join();
  EXPECT_EQ(seen_elsewhere, 0);
  EXPECT_EQ(CatchIoResult().first, 5);
  EXPECT_EQ(CatchIoResult().first, 0);
}

}  // namespace
}  // namespace pelmoro

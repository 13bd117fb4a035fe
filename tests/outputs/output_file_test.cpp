#include "outputs/files/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/errors.h"
#include "os/temporary_files.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::ListFolder;
using testing::ReadFileBytes;
using testing::RunningAsRoot;
using testing::TempDir;

constexpr char kOld[] = "the user's earlier file\n";

// Writes enough lines that whole 128-byte blocks reach the file before the
// close, so a target replaced too early would show it.
std::string WriteRows(OutputFile& out, int rows = 40) {
  std::string expected;
  for (int i = 0; i < rows; ++i) {
    const std::string line = std::to_string(i) + ",0," + std::to_string(i * 3);
    WriteTextLine(out.text(), line);
    CheckIoResult();
    expected += line + "\r\n";
  }
  return expected;
}

int CreateFailureCode(const std::string& target) {
  OutputFile out;
  try {
    out.Create(target);
  } catch (const EInOutError& e) {
    return e.code();
  }
  return 0;
}

// The two ways of holding the text until the commit: an unnamed file where
// the filesystem has them, a hidden named file where it has not.
enum class Temporary { kUnnamed, kNamed };

class OutputFileKindTest : public ::testing::TestWithParam<Temporary> {
 protected:
  void SetUp() override {
    SetUnnamedTemporariesAllowed(GetParam() == Temporary::kUnnamed);
    if (GetParam() == Temporary::kUnnamed && !HasUnnamedFiles(dir_.path())) {
      GTEST_SKIP() << "no O_TMPFILE on this filesystem";
    }
  }
  void TearDown() override { SetUnnamedTemporariesAllowed(true); }
  // The folder's entries while a run writes: the unnamed file has none.
  std::size_t EntriesWhileWriting(std::size_t files) const {
    return GetParam() == Temporary::kUnnamed ? files : files + 1;
  }
  void ExpectTemporaryKind(const OutputFile& out) const {
    EXPECT_EQ(out.unnamed(), GetParam() == Temporary::kUnnamed);
    if (GetParam() == Temporary::kNamed) {
      EXPECT_EQ(std::filesystem::path(out.temporary()).parent_path(), dir_.path());
    } else {
      EXPECT_TRUE(out.temporary().empty());
    }
  }
  static bool HasUnnamedFiles(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }
  TempDir dir_;
};

TEST_P(OutputFileKindTest, ExistingTargetIsReplacedOnlyAtCommit) {
  const std::string target = dir_.Write("part.hzm", kOld);
  OutputFile out;
  out.Create(target);
  ExpectTemporaryKind(out);
  const std::string expected = WriteRows(out);
  EXPECT_EQ(ReadFileBytes(target), kOld);
  EXPECT_EQ(ListFolder(dir_.path()).size(), EntriesWhileWriting(1));
  out.Commit();
  EXPECT_EQ(ReadFileBytes(target), expected);
  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"part.hzm"});
}

TEST_P(OutputFileKindTest, NewTargetAppearsAtCommit) {
  const std::string target = dir_.File("new.hzm");
  OutputFile out;
  out.Create(target);
  const std::string expected = WriteRows(out, 3);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(ListFolder(dir_.path()).size(), EntriesWhileWriting(0));
  out.Commit();
  EXPECT_EQ(ReadFileBytes(target), expected);
  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"new.hzm"});
}

TEST_P(OutputFileKindTest, AbandonLeavesTheOldTargetAndNoTemporary) {
  const std::string target = dir_.Write("part.hzm", kOld);
  {
    OutputFile out;
    out.Create(target);
    WriteRows(out);
    out.Abandon();
    EXPECT_TRUE(out.temporary().empty());
  }
  {
    OutputFile dropped;  // destroyed without a commit
    dropped.Create(target);
    WriteRows(dropped);
  }
  EXPECT_EQ(ReadFileBytes(target), kOld);
  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"part.hzm"});
}

TEST_P(OutputFileKindTest, FailedRenameRemovesTheTemporary) {
  const std::string target = dir_.File("late.hzm");
  OutputFile out;
  out.Create(target);
  WriteRows(out, 2);
  // A folder with content takes the target's name before the commit.
  std::filesystem::create_directory(target);
  dir_.Write("late.hzm/inside", "x");
  EXPECT_THROW(out.Commit(), EInOutError);
  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"late.hzm"});
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST_P(OutputFileKindTest, KeepsThePermissionsOfAnExistingTarget) {
  const std::string target = dir_.Write("shared.hzm", kOld);
  ::chmod(target.c_str(), 0640);
  OutputFile out;
  out.Create(target);
  WriteRows(out, 1);
  out.Commit();
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_P(OutputFileKindTest, SymbolicLinkStaysALinkAndItsFileGetsTheText) {
  std::filesystem::create_directory(dir_.File("real"));
  const std::string real = dir_.Write("real/data.hzm", kOld);
  const std::string link = dir_.File("link.hzm");
  std::filesystem::create_symlink("real/data.hzm", link);  // relative to the link
  OutputFile out;
  out.Create(link);
  const std::string expected = WriteRows(out, 5);
  out.Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(real), expected);
  EXPECT_EQ(ListFolder(dir_.path() / "real"), std::vector<std::string>{"data.hzm"});
}

TEST_P(OutputFileKindTest, DanglingLinkGetsItsFileCreated) {
  const std::string link = dir_.File("link.hzm");
  std::filesystem::create_symlink("made.hzm", link);
  OutputFile out;
  out.Create(link);
  const std::string expected = WriteRows(out, 2);
  out.Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(dir_.File("made.hzm")), expected);
  EXPECT_EQ(ListFolder(dir_.path()), (std::vector<std::string>{"link.hzm", "made.hzm"}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, OutputFileKindTest,
                         ::testing::Values(Temporary::kUnnamed, Temporary::kNamed),
                         [](const auto& info) {
                           return info.param == Temporary::kUnnamed ? "Unnamed" : "Named";
                         });

struct RefusalCase {
  const char* label;
  int expected_code;
  bool needs_non_root;
  // Prepares the folder and returns the target name.
  std::string (*prepare)(const TempDir& dir);
};

// Test names and failure output show the case by its label.
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }

class OutputFileRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(OutputFileRefusalTest, FailsAtCreateAndLeavesTheFolderAsItWas) {
  if (GetParam().needs_non_root && RunningAsRoot()) GTEST_SKIP() << "root may write anything";
  TempDir dir;
  const std::string target = GetParam().prepare(dir);
  const std::vector<std::string> before = ListFolder(dir.path());
  EXPECT_EQ(CreateFailureCode(target), GetParam().expected_code);
  EXPECT_EQ(ListFolder(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, OutputFileRefusalTest,
    ::testing::Values(
        RefusalCase{"MissingFolder", 3, false,
                    [](const TempDir& d) { return d.File("no-such-folder/out.hzm"); }},
        RefusalCase{"TargetIsAFolder", 5, false,
                    [](const TempDir& d) {
                      std::filesystem::create_directory(d.File("out.hzm"));
                      return d.File("out.hzm");
                    }},
        RefusalCase{"ReadOnlyTarget", 5, true,
                    [](const TempDir& d) {
                      const std::string t = d.Write("out.hzm", kOld);
                      ::chmod(t.c_str(), 0444);
                      return t;
                    }},
        RefusalCase{"ReadOnlyFolder", 5, true,
                    [](const TempDir& d) {
                      std::filesystem::create_directory(d.File("locked"));
                      ::chmod(d.File("locked").c_str(), 0555);
                      return d.File("locked/out.hzm");
                    }},
        // A loop is no file to replace: the links stay as they are.
        RefusalCase{"LinkLoop", ELOOP, false,
                    [](const TempDir& d) {
                      std::filesystem::create_symlink("b.hzm", d.File("a.hzm"));
                      std::filesystem::create_symlink("a.hzm", d.File("b.hzm"));
                      return d.File("a.hzm");
                    }},
        RefusalCase{"DescriptorNotHeld", EBADF, false,
                    [](const TempDir& d) { return d.File("") + "/../../../proc/self/fd/999999"; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(OutputFileTest, NullDeviceIsWrittenDirectly) {
  OutputFile out;
  out.Create("/dev/null");
  EXPECT_TRUE(out.temporary().empty());
  WriteRows(out);
  EXPECT_NO_THROW(out.Commit());
}

TEST(OutputFileTest, PipeIsWrittenDirectly) {
  TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  std::string expected;
  try {
    OutputFile out;
    out.Create(fifo);  // waits for the reader to open its end
    EXPECT_TRUE(out.temporary().empty());
    expected = WriteRows(out);
    out.Commit();
  } catch (...) {
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // let the reader go
    reader.join();
    throw;
  }
  reader.join();
  EXPECT_EQ(received, expected);
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"pipe"});
}

TEST(OutputFileTest, StandardOutputOnAPipeIsWrittenDirectly) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string expected;
  {
    OutputFile out;
    out.Create("/proc/self/fd/" + std::to_string(ends[1]));  // as /dev/stdout on a pipe
    EXPECT_TRUE(out.temporary().empty());
    expected = WriteRows(out, 3);
    out.Commit();
  }
  ::close(ends[1]);
  std::string received;
  char buffer[256];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  ::close(ends[0]);
  EXPECT_EQ(received, expected);
}

TEST(OutputFileTest, FullDeviceRaisesDiskFullByTheCommit) {
  OutputFile out;
  out.Create("/dev/full");
  int code = 0;
  try {
    WriteRows(out, 3);
    out.Commit();
  } catch (const EInOutError& e) {
    code = e.code();
  }
  EXPECT_EQ(code, 112);
  out.Abandon();
  EXPECT_EQ(PendingIoCode(), 0);
}

}  // namespace
}  // namespace pelmoro

// Writing text files, failures of writes, and flushes to the disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/disk_flush.h"
#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "tests/support/special_env.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::CatchIoResult;
using testing::TempDir;

std::int64_t SizeOnDisk(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::string RandomLine(std::mt19937& rng) {
  return std::string(rng() % 90, static_cast<char>('a' + rng() % 26));
}

TEST(TextFileWrite, DiskHoldsWholeBlocksUntilClosed) {
  TempDir dir;
  const std::string path = dir.File("out.hzm");
  TextFile file;
  CreateTextForWriting(file, path);
  std::mt19937 rng(7);
  std::string expected;
  std::int64_t largest = 0;
  while (expected.size() < 3 * kTextWriteBuffer + 77) {
    const std::string line = RandomLine(rng);
    WriteTextLine(file, line);
    expected += line + "\r\n";
    const std::int64_t on_disk = SizeOnDisk(path);
    ASSERT_EQ(on_disk % kTextBlock, 0);
    ASSERT_LE(on_disk, static_cast<std::int64_t>(expected.size()));
    ASSERT_EQ(TextPositionInBlocks(file), on_disk / kTextBlock);
    largest = on_disk;
  }
  EXPECT_GT(largest, 0);  // whole blocks did reach the disk while open
  CloseText(file);
  EXPECT_EQ(PendingIoCode(), 0);
  EXPECT_EQ(testing::ReadFileBytes(path), expected);
}

TEST(TextFileWrite, LineEndsAreCrLf) {
  TempDir dir;
  const std::string path = dir.File("out.hzm");
  TextFile file;
  CreateTextForWriting(file, path);
  WriteTextLine(file, "VERSION=6");
  PutChar(file, 'T');
  EndTextLine(file);
  WriteTextLine(file, "S");
  PutText(file, "1,");
  PutText(file, "-2");
  EndTextLine(file);
  WriteTextLine(file, "");
  EXPECT_EQ(SizeOnDisk(path), 0);
  CloseText(file);
  EXPECT_EQ(testing::ReadFileBytes(path), "VERSION=6\r\nT\r\nS\r\n1,-2\r\n\r\n");
  EXPECT_EQ(file.mode(), TextMode::kClosed);
}

TEST(TextFileWrite, FileNeverClosedGetsNoBufferedBytes) {
  TempDir dir;
  const std::string path = dir.Write("out.hzm", "old content");
  {
    TextFile file;
    CreateTextForWriting(file, path);
    WriteTextLine(file, "abc");
  }
  EXPECT_EQ(SizeOnDisk(path), 0);
}

TEST(TextFileWrite, FullDeviceRaisesOnceAndTakesNothingMore) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TextFile file;
  CreateTextForWriting(file, "/dev/full");
  ASSERT_TRUE(file.is_device());
  EXPECT_FALSE(file.is_terminal());
  // A device takes whole buffers, as a file does: the write fails once
  // the buffer is full.
  const std::string line(1000, 'x');
  for (std::size_t k = 0; k <= kTextWriteBuffer / line.size(); ++k) WriteTextLine(file, line);
  EXPECT_EQ(CatchIoResult(), std::make_pair(112, std::string("I/O エラー (112)")));
  // A further write to /dev/full would fail again and leave 112 pending.
  WriteTextLine(file, "y");
  EXPECT_EQ(PendingIoCode(), 0);
  CloseText(file);
  EXPECT_EQ(PendingIoCode(), 0);
  EXPECT_EQ(file.mode(), TextMode::kClosed);
}

// Lowers the file size limit for the test's duration; writes past it fail
// with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : old_signal_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lower = old_;
    lower.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() { Lift(); }
  void Lift() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  void (*old_signal_)(int);
};

TEST(TextFileWrite, PartialWriteCountedAndNothingWrittenAfterFailure) {
  TempDir dir;
  const std::string path = dir.File("out.hzm");
  TextFile file;
  CreateTextForWriting(file, path);
  std::string expected;
  {
    FileSizeLimit limit(1000);  // the first buffer goes out partly, then fails
    while (expected.size() < kTextWriteBuffer + 10) {
      WriteTextLine(file, "0123456789");
      expected += "0123456789\r\n";
    }
    EXPECT_EQ(CatchIoResult(), std::make_pair(EFBIG, "I/O エラー (" + std::to_string(EFBIG) + ")"));
    EXPECT_EQ(TextPositionInBlocks(file), 1000 / kTextBlock);
  }
  for (int i = 0; i < 20000; ++i) WriteTextLine(file, "later");
  CloseText(file);
  EXPECT_EQ(PendingIoCode(), 0);
  EXPECT_EQ(testing::ReadFileBytes(path), expected.substr(0, 1000));
}

// Past a few megabytes the file is sent on to the disk as it grows, and,
// when asked, flushed to it on a thread of its own.
struct LargeWriteCase {
  const char* name;
  bool sync_while_writing;
  rlim_t size_limit;         // 0: none
  bool closed;               // else the file is dropped open
  std::size_t kept;          // bytes the file ends with; 0: all written
  int raised;                // the code the writing raises, once
  bool flush_taken = false;  // the last flush taken over before the close
};

class LargeWriteTest : public ::testing::TestWithParam<LargeWriteCase> {};

TEST_P(LargeWriteTest, FileHoldsWhatWasWritten) {
  const LargeWriteCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("large.hzm");
  auto file = std::make_unique<TextFile>();
  CreateTextForWriting(*file, path);
  if (c.sync_while_writing) SyncTextWhileWriting(*file);
  std::string expected;
  std::string block(kTextWriteBuffer - 3, 'x');
  int raised = 0;
  {
    FileSizeLimit limit(c.size_limit != 0 ? c.size_limit : RLIM_INFINITY);
    for (int k = 0; k < 330; ++k) {
      block[0] = static_cast<char>('a' + k % 26);
      WriteTextLine(*file, block);
      expected += block + "\r\n";
      if (const int code = PendingIoCode(); code != 0) {
        EXPECT_EQ(raised, 0) << "raised twice";
        raised = code;
        SetPendingIoCode(0);
      }
    }
    std::future<int> taken;
    if (c.flush_taken) {
      taken = TakeTextFlush(*file);
      EXPECT_TRUE(taken.valid());
    }
    if (c.closed) CloseText(*file);
    if (taken.valid()) {
      EXPECT_EQ(taken.get(), 0);
    }
  }
  file.reset();  // dropped open, perhaps with a flush under way
  EXPECT_EQ(raised, c.raised);
  EXPECT_EQ(PendingIoCode(), 0);
  const std::string bytes = testing::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), c.kept != 0 ? c.kept : expected.size());
  EXPECT_TRUE(bytes == expected.substr(0, bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LargeWriteTest,
    ::testing::Values(LargeWriteCase{"Buffered", false, 0, true, 0, 0},
                      LargeWriteCase{"FlushedAsItGrows", true, 0, true, 0, 0},
                      // The close leaves the last flush to the caller, and the file is
                      // whole all the same.
                      LargeWriteCase{"FlushTakenOver", true, 0, true, 0, 0, true},
                      // Only whole buffers reach a file dropped open.
                      LargeWriteCase{
                          "FlushedAndDropped", true, 0, false,
                          330 * (kTextWriteBuffer - 1) / kTextWriteBuffer* kTextWriteBuffer, 0},
                      // A write fails past the limit while a flush may be under way: the
                      // write's failure is the one raised, once.
                      LargeWriteCase{"FlushedThenTooLarge", true, 9 << 20, true, 9 << 20, EFBIG}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextFileWrite, PipeTargetGetsEveryByte) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string received;
  std::thread reader([&] {
    char buf[4096];
    for (ssize_t got; (got = ::read(fds[0], buf, sizeof buf)) > 0;) received.append(buf, got);
    ::close(fds[0]);
  });
  TextFile file;
  AttachTextForWriting(file, fds[1], "pipe");
  EXPECT_FALSE(file.is_device());
  std::mt19937 rng(3);
  std::string expected;
  for (int i = 0; i < 6000; ++i) {
    const std::string line = RandomLine(rng);
    WriteTextLine(file, line);
    expected += line + "\r\n";
  }
  EXPECT_EQ(TextSizeInBlocks(file), TextPositionInBlocks(file));
  CloseText(file);  // closes the write end, so the reader sees the end
  reader.join();
  EXPECT_EQ(PendingIoCode(), 0);
  EXPECT_EQ(received, expected);
}

// A pipe and a device other than a terminal take the same whole buffers
// as a file: one write a buffer, not one a line.
struct BlockCase {
  const char* label;
  const char* path;  // "": a pipe; "file": a file in a fresh folder
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.label; }

class TextFileBlocksTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(TextFileBlocksTest, WritesOneBufferAtATime) {
  TempDir dir;
  testing::SpecialEnv env;
  EnvOverride use(env);
  int fds[2] = {-1, -1};
  std::thread reader;
  std::size_t received = 0;
  TextFile file;
  if (std::string(GetParam().path).empty()) {
    ASSERT_EQ(::pipe(fds), 0);
    reader = std::thread([&] {
      char buf[65536];
      for (ssize_t got; (got = ::read(fds[0], buf, sizeof buf)) > 0;) received += got;
      ::close(fds[0]);
    });
    AttachTextForWriting(file, fds[1], "pipe");
  } else {
    const std::string path = GetParam().path;
    CreateTextForWriting(file, path == "file" ? dir.File("out.hzm") : path);
  }
  ASSERT_EQ(PendingIoCode(), 0);
  EXPECT_FALSE(file.is_terminal());
  const std::string line = "12345,67890,-1234";  // 19 bytes with CR LF
  constexpr int kLines = 20000;
  for (int k = 0; k < kLines; ++k) WriteTextLine(file, line);
  CloseText(file);
  if (reader.joinable()) reader.join();
  EXPECT_EQ(PendingIoCode(), 0);
  const std::size_t bytes = kLines * (line.size() + 2);
  EXPECT_EQ(env.writes.load(), static_cast<int>((bytes + kTextWriteBuffer - 1) / kTextWriteBuffer));
  if (fds[0] >= 0) {
    EXPECT_EQ(received, bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, TextFileBlocksTest,
                         ::testing::Values(BlockCase{"File", "file"},
                                           BlockCase{"NullDevice", "/dev/null"},
                                           BlockCase{"Pipe", ""}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(TextFileWrite, TerminalGetsEachLineAtItsEnd) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    GTEST_SKIP() << "no pseudo-terminal";
  }
  const std::string slave = ::ptsname(master);
  const int raw = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(raw, 0);
  termios mode{};
  ::tcgetattr(raw, &mode);
  ::cfmakeraw(&mode);  // no output translation: the bytes arrive as written
  ::tcsetattr(raw, TCSANOW, &mode);
  TextFile file;
  CreateTextForWriting(file, slave);
  ASSERT_TRUE(file.is_terminal());
  PutChar(file, 'S');
  pollfd ready{master, POLLIN, 0};
  EXPECT_EQ(::poll(&ready, 1, 0), 0);  // nothing goes out before the line end
  EndTextLine(file);
  ASSERT_EQ(::poll(&ready, 1, 10000), 1);  // a guard against hanging, not a timing check
  char buf[16];
  EXPECT_EQ(std::string(buf, ::read(master, buf, sizeof buf)), "S\r\n");
  CloseText(file);
  ::close(raw);
  ::close(master);
}

// Flushes in the background: each gives its own descriptor's result, more
// of them than there are flushing threads all finish, and a child process
// (which has none of its parent's threads) flushes too.
TEST(DiskFlush, EachFlushGivesItsOwnResult) {
  TempDir dir;
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[1]);
  const auto file = [&](const char* name) {
    const int fd = ::open(dir.File(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    EXPECT_EQ(::write(fd, "x\r\n", 3), 3);
    return fd;
  };
  struct Case {
    const char* name;
    int fd;
    DiskFlush kind;
    int error;
  };
  std::vector<Case> cases = {
      {"file", file("a.hzm"), DiskFlush::kAll, 0},
      {"pipe (nothing to flush)", pipe_ends[0], DiskFlush::kAll, 0},
      {"closed descriptor", 1000, DiskFlush::kData, EBADF},
  };
  for (int i = 0; i < 12; ++i)
    cases.push_back({"one of many", file("many.hzm"), DiskFlush::kData, 0});
  std::vector<std::future<int>> flushes;
  for (const Case& c : cases) flushes.push_back(StartDiskFlush(c.fd, c.kind));
  for (std::size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE(cases[k].name);
    EXPECT_EQ(flushes[k].get(), cases[k].error);
    EXPECT_EQ(::fcntl(cases[k].fd, F_GETFD), -1);  // closed when done
  }
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer starts no threads after a fork of a threaded process";
#endif
  const pid_t child = ::fork();
  if (child == 0) {
    std::future<int> flushed = StartDiskFlush(file("child.hzm"), DiskFlush::kAll);
    ::_exit(flushed.wait_for(std::chrono::seconds(30)) == std::future_status::ready &&
                    flushed.get() == 0
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace pelmoro

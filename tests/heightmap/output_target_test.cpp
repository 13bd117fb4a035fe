// Outputs that are descriptors the process holds, names behind long links,
// and the room an output needs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "heightmap/output_file.h"
#include "heightmap/output_target.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::ListFolder;
using testing::ReadFileBytes;
using testing::TempDir;

// How the shell (or a caller) opened the descriptor the output names.
enum class Opened { kTruncated, kAppending, kPipe };

struct DescriptorCase {
  const char* label;
  Opened opened;
  // The output's name for descriptor fd; dir is for names that need a link.
  std::string (*name)(int fd, const TempDir& dir);
};

void PrintTo(const DescriptorCase& c, std::ostream* os) { *os << c.label; }

std::string ProcSelf(int fd, const TempDir&) { return "/proc/self/fd/" + std::to_string(fd); }

class OutputDescriptorTest : public ::testing::TestWithParam<DescriptorCase> {};

// As `{ echo before; stl2hzm -o /dev/stdout ...; echo after; } > file`: the
// text lands between what came before and after, through the same open
// file, and no file of the folder is created or replaced.
TEST_P(OutputDescriptorTest, WritesThroughTheDescriptorKeepingItsPosition) {
  TempDir dir;
  int fd = -1, reader = -1;
  const std::string file = dir.Write("shell.txt", "earlier\n");
  if (GetParam().opened == Opened::kPipe) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    reader = ends[0];
    fd = ends[1];
  } else {
    const int flags = GetParam().opened == Opened::kAppending ? O_APPEND : O_TRUNC;
    fd = ::open(file.c_str(), O_WRONLY | flags);
  }
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "before\n", 7), 7);
  const std::vector<std::string> listed = ListFolder(dir.path());
  {
    OutputFile out;
    out.Create(GetParam().name(fd, dir));
    EXPECT_TRUE(out.temporary().empty());
    EXPECT_FALSE(out.unnamed());
    WriteTextLine(out.text(), "map");
    out.Commit();
  }
  ASSERT_EQ(::write(fd, "after\n", 6), 6);
  ::close(fd);
  std::string written;
  if (reader >= 0) {
    char buffer[64];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) written.append(buffer, n);
    ::close(reader);
  } else {
    written = ReadFileBytes(file);
  }
  const std::string earlier = GetParam().opened == Opened::kAppending ? "earlier\n" : "";
  EXPECT_EQ(written, earlier + "before\nmap\r\nafter\n");
  std::vector<std::string> now = ListFolder(dir.path());
  std::erase(now, "fd-link");
  EXPECT_EQ(now, listed);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputDescriptorTest,
    ::testing::Values(
        DescriptorCase{"ProcSelfOnATruncatedFile", Opened::kTruncated, ProcSelf},
        DescriptorCase{"ProcSelfOnAnAppendedFile", Opened::kAppending, ProcSelf},
        DescriptorCase{"ProcSelfOnAPipe", Opened::kPipe, ProcSelf},
        DescriptorCase{"DevFd", Opened::kTruncated,
                       [](int fd, const TempDir&) { return "/dev/fd/" + std::to_string(fd); }},
        DescriptorCase{"ProcPid", Opened::kAppending,
                       [](int fd, const TempDir&) {
                         return "/proc/" + std::to_string(::getpid()) + "/fd/" +
                                std::to_string(fd);
                       }},
        DescriptorCase{"ThreadSelf", Opened::kTruncated,
                       [](int fd, const TempDir&) {
                         return "/proc/thread-self/fd/" + std::to_string(fd);
                       }},
        DescriptorCase{"LinkToDevFd", Opened::kAppending,
                       [](int fd, const TempDir& dir) {
                         const std::string link = dir.File("fd-link");
                         std::filesystem::create_symlink("/dev/fd/" + std::to_string(fd), link);
                         return link;
                       }}),
    [](const auto& info) { return std::string(info.param.label); });

// The links of /proc report 64 bytes whatever they hold: a longer target
// must still come whole.
TEST(ReadLinkTextTest, TakesTargetsLongerThanTheirReportedSize) {
  TempDir dir;
  const std::string folder = dir.File(std::string(120, 'f'));
  std::filesystem::create_directory(folder);
  const std::string file = folder + "/" + std::string(200, 'n') + ".hzm";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  std::string text;
  EXPECT_TRUE(ReadLinkText("/proc/self/fd/" + std::to_string(fd), text));
  EXPECT_EQ(text, file);
  ::close(fd);
  const std::string link = dir.File("long-link");
  std::filesystem::create_symlink(std::string(3000, 'x'), link);
  EXPECT_TRUE(ReadLinkText(link, text));
  EXPECT_EQ(text, std::string(3000, 'x'));
}

struct SpaceCase {
  const char* label;
  bool device;  // /dev/null instead of a file in a folder
  std::uint64_t bytes;
  bool refused;
};

void PrintTo(const SpaceCase& c, std::ostream* os) { *os << c.label; }

class OutputSpaceTest : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(OutputSpaceTest, RefusesOnlyWhatCannotFit) {
  TempDir dir;
  const std::string target = GetParam().device ? "/dev/null" : dir.Write("old.hzm", "earlier");
  OutputFile out;
  out.Create(target);
  bool refused = false;
  try {
    out.RequireSpace(GetParam().bytes);
  } catch (const ENotEnoughSpace& e) {
    refused = true;
    EXPECT_EQ(e.message().rfind("the height map needs at least " +
                                    std::to_string(GetParam().bytes) + " bytes, only ",
                                0),
              0u)
        << e.message();
    EXPECT_NE(e.message().find(" are free on the disk of " + target), std::string::npos);
  }
  EXPECT_EQ(refused, GetParam().refused);
  out.Abandon();
  if (!GetParam().device) {
    EXPECT_EQ(ReadFileBytes(target), "earlier");
  }
}

constexpr std::uint64_t kExabyte = std::uint64_t{1} << 60;

INSTANTIATE_TEST_SUITE_P(
    Sizes, OutputSpaceTest,
    ::testing::Values(SpaceCase{"SmallMapFits", false, 4096, false},
                      SpaceCase{"ExabyteDoesNot", false, kExabyte, true},
                      SpaceCase{"DeviceHasNoLimit", true, kExabyte, false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro

// Outputs that are descriptors the process holds, names behind long links,
// and the room an output needs.
#include "outputs/files/output_target.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "os/posix_output.h"
#include "outputs/files/disk_space.h"
#include "outputs/files/output_file.h"
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
                         return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
                       }},
        DescriptorCase{
            "ThreadSelf", Opened::kTruncated,
            [](int fd, const TempDir&) { return "/proc/thread-self/fd/" + std::to_string(fd); }},
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
  EXPECT_TRUE(posix::ReadLinkText("/proc/self/fd/" + std::to_string(fd), text));
  EXPECT_EQ(text, file);
  ::close(fd);
  const std::string link = dir.File("long-link");
  std::filesystem::create_symlink(std::string(3000, 'x'), link);
  EXPECT_TRUE(posix::ReadLinkText(link, text));
  EXPECT_EQ(text, std::string(3000, 'x'));
}

// Where an output of the space table goes: a file on the disk of the
// system's temporary folder, one on the memory-backed disk, or a device.
enum class Place { kFolder, kScratchDisk, kDevice };

struct Claimed {
  Place place;
  double share_of_free;  // of its disk's free space; 0: bytes instead
  std::uint64_t bytes = 0;
};

struct SpaceCase {
  const char* label;
  std::vector<Claimed> outputs;
  std::vector<std::size_t> refused;  // the outputs the refusal names; empty: all fit
};

void PrintTo(const SpaceCase& c, std::ostream* os) { *os << c.label; }

class OutputSpaceTest : public ::testing::TestWithParam<SpaceCase> {};

bool SameDisk(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

// "the height map needs at least N bytes, only " for one output, "the
// height maps need at least N bytes together, only " for several.
std::string RefusalStart(std::size_t outputs, std::uint64_t bytes) {
  return std::string(outputs == 1 ? "the height map needs" : "the height maps need") +
         " at least " + std::to_string(bytes) +
         (outputs == 1 ? " bytes, only " : " bytes together, only ");
}

TEST_P(OutputSpaceTest, RefusesWhatCannotFitOnOneDisk) {
  const SpaceCase& c = GetParam();
  TempDir dir;
  TempDir scratch(testing::ScratchBase());
  for (const Claimed& o : c.outputs) {
    if (o.place == Place::kScratchDisk && SameDisk(dir.path(), scratch.path())) {
      GTEST_SKIP() << "no second disk here";
    }
  }
  std::vector<std::unique_ptr<OutputFile>> outputs;
  std::vector<std::string> targets;
  std::vector<SpaceClaim> claims;
  for (std::size_t k = 0; k < c.outputs.size(); ++k) {
    const Claimed& o = c.outputs[k];
    const std::string name = "old" + std::to_string(k) + ".hzm";
    targets.push_back(o.place == Place::kDevice   ? "/dev/null"
                      : o.place == Place::kFolder ? dir.Write(name, "earlier")
                                                  : scratch.Write(name, "earlier"));
    outputs.push_back(std::make_unique<OutputFile>());
    outputs.back()->Create(targets.back());
    const std::optional<SpaceClaim> room = outputs.back()->ClaimSpace(0);
    ASSERT_EQ(room.has_value(), o.place != Place::kDevice) << k;
    const std::uint64_t bytes =
        o.share_of_free > 0 ? static_cast<std::uint64_t>(o.share_of_free * room->free) : o.bytes;
    if (auto claim = outputs.back()->ClaimSpace(bytes)) claims.push_back(*claim);
  }
  std::vector<std::string> named;
  try {
    RequireSpaceFor(claims);
  } catch (const ENotEnoughSpace& e) {
    named = e.targets();
    std::uint64_t sum = 0;
    for (const SpaceClaim& claim : claims) {
      if (std::find(named.begin(), named.end(), claim.target) != named.end()) sum += claim.bytes;
    }
    EXPECT_EQ(e.message().rfind(RefusalStart(named.size(), sum), 0), 0u) << e.message();
    EXPECT_NE(e.message().find(" are free on the disk of " + named.front()), std::string::npos);
    EXPECT_EQ(e.file(), named.front());
  }
  std::vector<std::string> expected;
  for (std::size_t k : c.refused) expected.push_back(targets[k]);
  EXPECT_EQ(named, expected);
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    outputs[k]->Abandon();
    if (c.outputs[k].place != Place::kDevice) {
      EXPECT_EQ(ReadFileBytes(targets[k]), "earlier");
    }
  }
}

constexpr std::uint64_t kExabyte = std::uint64_t{1} << 60;

// A share of 0.6 of a disk's free space fits alone, twice it does not.
INSTANTIATE_TEST_SUITE_P(
    Sizes, OutputSpaceTest,
    ::testing::Values(
        SpaceCase{"SmallMapFits", {{Place::kFolder, 0, 4096}}, {}},
        SpaceCase{"ExabyteDoesNot", {{Place::kFolder, 0, kExabyte}}, {0}},
        SpaceCase{"DeviceHasNoLimit", {{Place::kDevice, 0, kExabyte}}, {}},
        SpaceCase{"TwoThatFitOnlyAlone", {{Place::kFolder, 0.6}, {Place::kFolder, 0.6}}, {0, 1}},
        SpaceCase{"ThreeOnOneDiskBesideADevice",
                  {{Place::kFolder, 0.4},
                   {Place::kDevice, 0, kExabyte},
                   {Place::kFolder, 0.4},
                   {Place::kFolder, 0.4}},
                  {0, 2, 3}},
        SpaceCase{"OneOnEachDisk", {{Place::kFolder, 0.6}, {Place::kScratchDisk, 0.6}}, {}},
        SpaceCase{"SecondDiskAloneTooSmall",
                  {{Place::kFolder, 0.6}, {Place::kScratchDisk, 0.6}, {Place::kScratchDisk, 0.6}},
                  {1, 2}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro

// Maps written to a pipe, a FIFO or a device: the same bytes as to a file,
// and, as the scan starts, a line with the lattice and the least and most
// bytes the map takes (such targets have no size limit to warn).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

// A relief of 2 x 2 mm squares over 20 x 20 mm, heights 1 to 9 mm.
std::string Relief() {
  std::string stl = "solid r\n";
  const auto z = [](int i, int j) { return std::to_string(1 + (i * 7 + j * 3) % 9); };
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 10; ++j) {
      const std::string x0 = std::to_string(2 * i), x1 = std::to_string(2 * i + 2);
      const std::string y0 = std::to_string(2 * j), y1 = std::to_string(2 * j + 2);
      const std::string a = x0 + " " + y0 + " " + z(i, j), b = x1 + " " + y0 + " " + z(i + 1, j),
                        c = x1 + " " + y1 + " " + z(i + 1, j + 1),
                        d = x0 + " " + y1 + " " + z(i, j + 1);
      stl += "vertex " + a + "\nvertex " + b + "\nvertex " + c + "\n";
      stl += "vertex " + a + "\nvertex " + c + "\nvertex " + d + "\n";
    }
  }
  return stl + "endsolid r\n";
}

enum class Target { kFile, kPipe, kFifo, kNullDevice };

struct DeviceCase {
  const char* label;
  Target target;
};

void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.label; }

class CliDeviceOutputTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(CliDeviceOutputTest, SameBytesAsAFileAndTheSizeSaidFirst) {
  TempDir dir;
  dir.Write("r.stl", Relief());
  const Outcome to_file =
      RunStl2hzm({{"--pitch", "0.1", "-o", "file.hzm", "r.stl"}, dir.path().string()});
  ASSERT_EQ(to_file.exit_code, 0) << to_file.err;
  const std::string expected = ReadFileBytes(dir.File("file.hzm"));
  std::string got;
  Outcome r;
  std::thread reader;
  switch (GetParam().target) {
    case Target::kFile:
      r = to_file;
      got = expected;
      break;
    case Target::kPipe:
      r = RunStl2hzm({{"--pitch", "0.1", "-o", "-", "r.stl"}, dir.path().string()});
      got = r.out;
      break;
    case Target::kFifo:
      ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
      reader = std::thread([&] { got = ReadFileBytes(dir.File("fifo")); });
      r = RunStl2hzm({{"--pitch", "0.1", "-o", "fifo", "r.stl"}, dir.path().string()});
      reader.join();
      break;
    case Target::kNullDevice:
      r = RunStl2hzm({{"--pitch", "0.1", "-o", "/dev/null", "r.stl"}, dir.path().string()});
      got = expected;  // nothing to read back
      break;
  }
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(got == expected) << got.size() << " bytes, a file has " << expected.size();
  // Said first, before the summary at the end. (Read without std::regex,
  // which GCC 12 warns about at -O1 under the sanitizers.)
  const std::string lead = "r.stl: 201 x 201 points at 0.1 mm; the height map takes ";
  const bool said = r.err.rfind(lead, 0) == 0;
  EXPECT_EQ(said, GetParam().target != Target::kFile) << r.err;
  if (said) {
    unsigned long long least = 0, most = 0;
    ASSERT_EQ(std::sscanf(r.err.c_str() + lead.size(), "%llu to %llu bytes -> ", &least, &most), 2)
        << r.err;
    EXPECT_LE(least, expected.size());
    EXPECT_GE(most, expected.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, CliDeviceOutputTest,
                         ::testing::Values(DeviceCase{"File", Target::kFile},
                                           DeviceCase{"Pipe", Target::kPipe},
                                           DeviceCase{"Fifo", Target::kFifo},
                                           DeviceCase{"NullDevice", Target::kNullDevice}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing

// A stop is obeyed at once, in the middle of a row however slow: a model
// whose every row takes many seconds, stopped by each signal a user or the
// system sends, on one thread and several, towards a file, a pipe and a
// device.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

// A binary STL of `count` triangles stacked one above the other, each
// 5,000 mm wide and 2 mm deep, each a little higher than the one before
// (as tools/make_wide_rows.py writes them): at 0.025 mm a row has 200,001
// points that every triangle is asked about, so one row alone takes far
// longer than a test waits.
std::string StackedWideTriangles(int count) {
  std::string stl(80, '\0');
  const auto put = [&stl](const void* bytes, std::size_t n) {
    stl.append(static_cast<const char*>(bytes), n);
  };
  const auto n = static_cast<std::uint32_t>(count);
  put(&n, 4);
  for (int k = 0; k < count; ++k) {
    const float z = 1.0f + static_cast<float>(k) * 0.01f;
    const float record[12] = {0, 0, 1, 0, 0, z, 5000, 0, z, 0, 2, z};
    put(record, sizeof record);
    put("\0\0", 2);
  }
  return stl;
}

enum class Target { kFile, kPipe, kDevice };

struct LatencyCase {
  const char* label;
  int signal;
  int threads;
  Target target;
};

void PrintTo(const LatencyCase& c, std::ostream* os) { *os << c.label; }

class CliStopLatencyTest : public ::testing::TestWithParam<LatencyCase> {};

// The generous bound of a loaded machine; the run left alone would take
// minutes, and the stop is meant to take well under half a second.
constexpr auto kBound = std::chrono::seconds(2);

TEST_P(CliStopLatencyTest, StopIsObeyedInTheMiddleOfARow) {
  const LatencyCase& c = GetParam();
  TempDir dir;
  dir.Write("wide.stl", StackedWideTriangles(600));
  const char* output = c.target == Target::kFile   ? "wide.hzm"
                       : c.target == Target::kPipe ? "-"
                                                   : "/dev/null";
  Child child(
      {{"-q", "--pitch", "0.025", "--threads", std::to_string(c.threads), "-o", output, "wide.stl"},
       dir.path().string()});
  // Reading the model takes milliseconds: with a second of processor time
  // spent the scan is well inside its first row.
  ASSERT_TRUE(WaitForProcessorTime(child.pid(), 1.0));
  const auto signalled = std::chrono::steady_clock::now();
  child.Signal(c.signal);
  const Outcome r = child.Wait();
  const auto took = std::chrono::steady_clock::now() - signalled;
  EXPECT_LT(took, kBound) << std::chrono::duration<double>(took).count() << " s";
  if (c.signal == SIGINT) {
    EXPECT_EQ(r.exit_code, 130) << r.err;
    EXPECT_EQ(r.err.rfind("Break !\nstopped at row 1 of ", 0), 0u) << r.err;
  } else {
    EXPECT_TRUE(r.signal == c.signal || r.exit_code == 128 + c.signal)
        << r.exit_code << " " << r.signal;
  }
  // Not one row was complete: the pipe had nothing but the header, if that.
  if (c.target == Target::kPipe) {
    EXPECT_EQ(r.out.find('\n', 30), std::string::npos);
  }
}

std::vector<LatencyCase> LatencyCases() {
  struct Named {
    const char* name;
    int signal;
  };
  static std::vector<std::string> labels;  // the cases point into it
  std::vector<LatencyCase> cases;
  labels.reserve(27);
  for (const Named s : {Named{"CtrlC", SIGINT}, Named{"Term", SIGTERM}, Named{"Hangup", SIGHUP}}) {
    for (int threads : {1, 2, 8}) {
      for (Target t : {Target::kFile, Target::kPipe, Target::kDevice}) {
        const char* where = t == Target::kFile ? "File" : t == Target::kPipe ? "Pipe" : "Device";
        labels.push_back(std::string(s.name) + std::to_string(threads) + "Threads" + where);
        cases.push_back({labels.back().c_str(), s.signal, threads, t});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStopLatencyTest, ::testing::ValuesIn(LatencyCases()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro::testing

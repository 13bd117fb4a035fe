// What the benchmark programs share: a driver that does nothing, a clock,
// lattice sizes, files mapped for comparison, and child processes timed
// with their peak memory.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_driver.h"
#include "tests/support/mapped_file.h"

namespace pelmoro::bench {

// A front end with nothing to show: no messages, never a stop, a fixed
// Surface state.
class NullDriver : public RunDriver {
 public:
  explicit NullDriver(bool surface = false) : surface_(surface) {}
  void SetProgress(int, std::int64_t) override {}
  void ProcessMessages() override {}
  bool StopRequested() override { return false; }
  bool FirstCoveringWanted() override { return surface_; }

 private:
  bool surface_;
};

using Clock = std::chrono::steady_clock;

// Seconds since start.
inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Grid units (1..255) for a pitch in millimetres as a user types it;
// exits with a message when the pitch is refused.
int PitchUnits(const std::string& millimetres);

// Size of a file in bytes; 0 when it cannot be examined.
std::uint64_t FileBytes(const std::string& path);

using testing::MappedFile;

// The bytes of rows (0-based, ascending) of a height-map file whose rows
// have `columns` point lines each: the point lines and the row-end line.
// A row past the end of the file comes back empty.
std::vector<std::string_view> HeightMapRows(std::string_view file, std::int32_t columns,
                                            const std::vector<std::int64_t>& rows);

// A finished child process: wall-clock seconds, peak resident memory, and
// its exit status (-1 when it could not run or ended by a signal).
struct ChildRun {
  double seconds = 0;
  long max_rss_kib = 0;
  int exit_code = -1;
};

// Runs argv[0] (a path) with its arguments, stdout and stderr left as they
// are, and waits for it.
ChildRun RunChild(const std::vector<std::string>& argv);

// Rows to sample from `rows`: `count` rows evenly spaced from the first to
// the last, ascending, without repeats.
std::vector<std::int64_t> SampleRows(std::int64_t rows, int count);

}  // namespace pelmoro::bench

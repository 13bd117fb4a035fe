// A whole conversion on a tiny lattice, the fast scan against the plain
// reference scan: the same outcome and the same height map byte for byte,
// or the same error, and never a file left behind. Input: the pitch
// (40 to 255 grid units), the mode and thread count, the message pass that
// switches "Surface", the pass that stops the run (0: none), then the STL
// file (ASCII or binary). Models whose lattice would exceed kMostPoints are skipped.
#include <algorithm>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "engine/scan/lattice.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"
#include "run/conversion_run.h"
#include "tests/support/fake_driver.h"
#include "tests/support/fuzz_support.h"

namespace pelmoro {
namespace {

using testing::FuzzCheck;

constexpr std::int64_t kMostPoints = 100000;

struct Controls {
  int pitch;
  bool surface;
  int threads;
  int switch_at;  // message pass that toggles "Surface"; 0: none
  int stop_at;    // message pass that asks to stop; 0: none
};

struct RunRecord {
  bool failed = false;
  std::string error;  // type and message
  ConversionResult result;
  std::string map;
};

// Message passes follow the steps (triangles, rows) only, so both runs see
// the same passes; waiting for a worker or the disk is no pass.
void SteerAtPasses(testing::FakeDriver& driver, const Controls& c) {
  driver.surface = c.surface;
  driver.on_pass = [&driver, c](int pass) {
    if (pass == c.switch_at) driver.surface = !driver.surface;
    if (pass == c.stop_at) driver.stop = true;
  };
}

RunRecord Convert(const ConversionRequest& request, const Controls& c) {
  RunRecord record;
  testing::FakeDriver driver;
  SteerAtPasses(driver, c);
  GeometryStore store;
  try {
    record.result = RunConversion(store, request, driver);
    record.map = testing::ReadWholeFile(request.output);
  } catch (const Exception& e) {
    record.failed = true;
    record.error = std::string(typeid(e).name()) + ": " + e.message();
  }
  return record;
}

// The lattice the whole model would give, read once as a run reads it
// (ASCII or binary) without a driver's interference; 0 when the model is
// refused (the runs then fail early).
std::int64_t LatticePoints(const ConversionRequest& request) {
  testing::FakeDriver driver;
  GeometryStore store;
  store.ResetBounds();
  try {
    return ReadRequestedModel(store, request, driver).lattice.points();
  } catch (const Exception&) {
    return 0;
  }
}

// Converts into `output` of the folder, checks that the folder then holds
// the input and, unless the run failed, the map only, and removes the map.
RunRecord ConvertInFolder(const testing::ScratchFolder& folder, ConversionRequest request,
                          const Controls& c, const std::string& output) {
  request.output = folder.File(output);
  const RunRecord run = Convert(request, c);
  std::vector<std::string> expected{"in.stl"};
  if (!run.failed) expected.push_back(output);
  std::sort(expected.begin(), expected.end());
  const std::vector<std::string> held = testing::FolderNames(folder.path());
  std::string names;
  for (const std::string& name : held) names += " " + name;
  FuzzCheck(held == expected, "the folder holds the input and a completed map only:" + names);
  std::filesystem::remove(request.output);
  return run;
}

void CompareRuns(const testing::ScratchFolder& folder, const Controls& c) {
  ConversionRequest request;
  request.input = folder.File("in.stl");
  request.pitch = c.pitch;
  if (LatticePoints(request) > kMostPoints) return;
  request.scan = {c.threads, false};
  const RunRecord fast = ConvertInFolder(folder, request, c, "fast.hzm");
  request.scan = {1, true};
  const RunRecord plain = ConvertInFolder(folder, request, c, "plain.hzm");

  FuzzCheck(fast.failed == plain.failed && fast.error == plain.error, "the same error");
  FuzzCheck(fast.result.outcome == plain.result.outcome, "the same outcome");
  FuzzCheck(fast.result.triangles == plain.result.triangles, "the same triangles");
  FuzzCheck(fast.result.lattice.columns == plain.result.lattice.columns &&
                fast.result.lattice.rows == plain.result.lattice.rows,
            "the same lattice");
  FuzzCheck(fast.map == plain.map, "the same height map");
}

}  // namespace
}  // namespace pelmoro

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmoro;
  if (size < 4) return 0;
  static testing::ScratchFolder folder;
  const Controls controls{40 + data[0] % 216, (data[1] & 1) != 0, 1 + (data[1] >> 1) % 3, data[2],
                          data[3]};
  testing::WriteWholeFile(folder.File("in.stl"), testing::AsText(data + 4, size - 4));
  CompareRuns(folder, controls);
  return 0;
}

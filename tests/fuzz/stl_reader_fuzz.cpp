// The STL reader on any file: it returns or raises one of the program's
// errors, never crashes, closes the input, and stores what it counts with
// bounds around every vertex and each triangle's vertices ordered by y.
#include <cstdint>
#include <string>

#include "engine/run_driver.h"
#include "engine/stl_reader.h"
#include "foundation/errors.h"
#include "foundation/geometry_store.h"
#include "foundation/text_file.h"
#include "tests/support/fuzz_support.h"

namespace pelmoro {
namespace {

using testing::FuzzCheck;

// Does nothing but hold the reader to its progress contract: 0..100, one
// more triangle at every step.
class QuietDriver : public RunDriver {
 public:
  void SetProgress(int position, std::int64_t done) override {
    FuzzCheck(position >= 0 && position <= 100, "reading progress within 0..100");
    FuzzCheck(done == ++steps_, "one progress step per triangle");
  }
  void ProcessMessages() override {}
  bool StopRequested() override { return false; }
  bool FirstCoveringWanted() override { return false; }

 private:
  std::int64_t steps_ = 0;
};

bool Within(std::int32_t v, std::int32_t low, std::int32_t high) { return low <= v && v <= high; }

void CheckStore(const GeometryStore& store, std::int32_t count) {
  const ModelBounds& b = store.bounds();
  for (std::int32_t i = 0; i < count; ++i) {
    const Triangle& t = store.triangle(static_cast<std::size_t>(i));
    for (const Vertex& v : t.v) {
      FuzzCheck(Within(v.x, b.x_min, b.x_max) && Within(v.y, b.y_min, b.y_max) && v.z >= b.z_min,
                "the bounds contain every vertex");
    }
    FuzzCheck(t.v[0].y >= t.v[1].y && t.v[1].y >= t.v[2].y, "vertices ordered by y");
  }
}

}  // namespace
}  // namespace pelmoro

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmoro;
  static testing::MemoryFile input;
  input.Fill(testing::AsText(data, size));
  const int descriptors = testing::OpenDescriptorCount();
  GeometryStore store;
  store.ResetBounds();
  QuietDriver driver;
  try {
    const std::int32_t count = ReadStlVertices(store, input.path(), driver);
    FuzzCheck(count >= 0, "a triangle count");
    CheckStore(store, count);
  } catch (const Exception&) {
    // Refusing the file is fine; anything else escapes and is reported.
  }
  FuzzCheck(PendingIoCode() == 0, "no I/O code left pending");
  FuzzCheck(testing::OpenDescriptorCount() == descriptors, "the input is closed");
  return 0;
}

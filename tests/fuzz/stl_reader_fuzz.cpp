// The STL readers on any file: each returns or raises one of the program's
// errors, never crashes, closes the input, and stores what it counts with
// bounds around every vertex and each triangle's vertices ordered by y.
// Input: a byte choosing the reader and the model unit, then the file. The
// readers: the ASCII one, the binary one (with the triangle count at byte
// 80 set to what the file holds, so that most inputs get past the size
// check), and the reading that first tells the kinds apart.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/read/binary_stl_reader.h"
#include "engine/read/model_units.h"
#include "engine/read/stl_model_reader.h"
#include "engine/read/stl_reader.h"
#include "engine/run_driver.h"
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

namespace pelmoro {
namespace {

// The file as the binary reader expects it: 84 + 50 n bytes with n at byte 80.
std::string AsBinaryStl(std::string_view bytes) {
  std::string file(
      bytes.substr(0, bytes.size() < 84 ? bytes.size() : bytes.size() - (bytes.size() - 84) % 50));
  if (file.size() < 84) return file;
  const auto n = static_cast<std::uint32_t>((file.size() - 84) / 50);
  const unsigned char count[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                                  static_cast<unsigned char>(n >> 16),
                                  static_cast<unsigned char>(n >> 24)};
  std::memcpy(file.data() + 80, count, 4);
  return file;
}

std::int32_t Read(int reader, GeometryStore& store, const std::string& path, RunDriver& driver,
                  int units) {
  switch (reader) {
    case 0:
      return ReadStlVertices(store, path, driver, units);
    case 1:
      return ReadBinaryStlVertices(store, path, driver, units);
    default:
      return ReadStlModel(store, path, driver, units).triangles;
  }
}

}  // namespace
}  // namespace pelmoro

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmoro;
  if (size < 1) return 0;
  static testing::MemoryFile input;
  const int reader = data[0] % 3;
  const auto units = ModelUnits();
  const int unit = units[(data[0] / 3u) % units.size()].grid_units;
  const std::string_view bytes = testing::AsText(data + 1, size - 1);
  input.Fill(reader == 1 ? AsBinaryStl(bytes) : std::string(bytes));
  const int descriptors = testing::OpenDescriptorCount();
  GeometryStore store;
  store.ResetBounds();
  QuietDriver driver;
  try {
    const std::int32_t count = Read(reader, store, input.path(), driver, unit);
    FuzzCheck(count >= 0, "a triangle count");
    CheckStore(store, count);
  } catch (const Exception&) {
    // Refusing the file is fine; anything else escapes and is reported.
  }
  FuzzCheck(PendingIoCode() == 0, "no I/O code left pending");
  FuzzCheck(testing::OpenDescriptorCount() == descriptors, "the input is closed");
  return 0;
}

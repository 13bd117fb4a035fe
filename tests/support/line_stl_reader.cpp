#include "tests/support/line_stl_reader.h"

#include <string_view>

#include "engine/read/vertex_line.h"
#include "engine/triangle_metrics.h"
#include "foundation/errors.h"
#include "foundation/real.h"
#include "foundation/text.h"
#include "foundation/text_file.h"
#include "tests/support/reference_line_reader.h"

namespace pelmoro::testing {

namespace {

bool StartsWithIgnoringCase(std::string_view line, std::string_view word) {
  if (line.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((line[i] | 0x20) != word[i]) return false;
  }
  return true;
}

class LineReading {
 public:
  LineReading(GeometryStore& store, const std::string& name, RunDriver& driver, int units)
      : store_(store), driver_(driver), units_(units), lines_(file_) {
    OpenTextForReading(file_, name);
    CheckIoResult();
    blocks_ = TextSizeInBlocks(file_);
    CheckIoResult();
    store_.SetCapacity(static_cast<std::size_t>(TruncateReal(static_cast<Real>(blocks_) / 2)));
  }

  std::int32_t ReadAll(ReadingNotes& notes) {
    try {
      if (!ReadLines()) Note(notes);
    } catch (Exception& e) {
      if (e.line() == 0) e.set_line(line_);
      throw;
    }
    CloseText(file_);
    CheckIoResult();
    return triangles_;
  }

 private:
  bool ReadLines() {
    while (!lines_.AtEnd()) {
      CheckIoResult();
      const std::string_view line = StripLeading(lines_.ReadLineView());
      ++line_;
      CheckIoResult();
      if (!IsVertexLine(line)) {
        if (!line.empty() && (line[0] | 0x20) == 'e') {
          if (StartsWithIgnoringCase(line, "endsolid")) endsolid_after_vertices_ = true;
        } else if (StartsWithIgnoringCase(line, "solid")) {
          solid_seen_ = true;
        }
        continue;
      }
      last_vertex_line_ = line_;
      endsolid_after_vertices_ = false;
      if (TakeVertex(line) && StopAfterTriangle()) return true;
    }
    CheckIoResult();
    return false;
  }

  bool TakeVertex(std::string_view line) {
    const auto row = static_cast<std::size_t>(triangles_);
    store_.EnsureRow(row, row + 1);
    Vertex& v = store_.triangle(row).v[slot_];
    int converted = 0;
    ReadVertexFields(line, v, units_, converted);
    store_.WidenBounds(v);
    if (++slot_ < 3) return false;
    slot_ = 0;
    StoreTriangle(store_, row);
    ++triangles_;
    return true;
  }

  bool StopAfterTriangle() {
    const std::int64_t position = lines_.PositionInBlocks();
    const int progress = blocks_ <= 0
                             ? 0
                             : static_cast<int>(TruncateReal(static_cast<Real>(position) /
                                                             static_cast<Real>(blocks_) * 100));
    driver_.SetProgress(progress, triangles_);
    driver_.ProcessMessages();
    return driver_.StopRequested();
  }

  void Note(ReadingNotes& notes) {
    notes.bytes_after_ctrl_z = lines_.BytesAfterCtrlZ();
    CheckIoResult();
    if (notes.bytes_after_ctrl_z > 0) notes.ctrl_z_line = line_ + 1;
    notes.leftover_vertices = slot_;
    notes.last_vertex_line = last_vertex_line_;
    notes.missing_endsolid =
        solid_seen_ && last_vertex_line_ > 0 && !endsolid_after_vertices_ && !lines_.EndedAtCtrlZ();
  }

  GeometryStore& store_;
  RunDriver& driver_;
  int units_;
  TextFile file_;
  ReferenceLineReader lines_;  // over file_, which it must follow
  std::int64_t blocks_ = 0;
  std::int32_t triangles_ = 0;
  int slot_ = 0;
  std::int64_t line_ = 0;
  std::int64_t last_vertex_line_ = 0;
  bool solid_seen_ = false;
  bool endsolid_after_vertices_ = false;
};

}  // namespace

std::int32_t ReadStlVerticesByLines(GeometryStore& store, const std::string& file_name,
                                    RunDriver& driver, int units, ReadingNotes& notes) {
  LineReading reading(store, file_name, driver, units);
  return reading.ReadAll(notes);
}

}  // namespace pelmoro::testing

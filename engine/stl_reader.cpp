#include "engine/stl_reader.h"

#include <string_view>

#include "engine/grid_units.h"
#include "engine/triangle_metrics.h"
#include "foundation/errors.h"
#include "foundation/numbers.h"
#include "foundation/real.h"
#include "foundation/text.h"
#include "foundation/text_file.h"

namespace pelmoro {

namespace {

// Numbers in STL files are always written with a decimal point, whatever
// the user's locale.
constexpr char kStlSeparator = '.';

bool IsSeparatorByte(char c) { return static_cast<unsigned char>(c) <= 32; }

// A vertex line begins, after blanks and control characters, with "vertex"
// in any letter case; no blank is needed before the first number.
bool IsVertexLine(std::string_view line) {
  return line.size() >= 6 && (line[0] | 0x20) == 'v' && (line[1] | 0x20) == 'e' &&
         (line[2] | 0x20) == 'r' && (line[3] | 0x20) == 't' && (line[4] | 0x20) == 'e' &&
         (line[5] | 0x20) == 'x';
}

// Cuts the next field off rest: the bytes up to the next blank or control
// character; rest keeps what follows, without its leading blanks.
std::string_view NextField(std::string_view& rest) {
  std::size_t end = 0;
  while (end < rest.size() && !IsSeparatorByte(rest[end])) ++end;
  std::string_view field = rest.substr(0, end);
  rest = StripLeading(rest.substr(end));
  return field;
}

// The last field is everything that is left, less trailing blanks and
// control characters; anything inside it that is not part of the number
// (a fourth field) makes it refused under its whole text.
std::string_view LastField(std::string_view rest) {
  std::size_t end = rest.size();
  while (end > 0 && IsSeparatorByte(rest[end - 1])) --end;
  return rest.substr(0, end);
}

bool StartsWithIgnoringCase(std::string_view line, std::string_view word) {
  if (line.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((line[i] | 0x20) != word[i]) return false;
  }
  return true;
}

std::int32_t ConvertField(std::string_view field, int units) {
  return ToGridUnits(ParseReal(field, kStlSeparator), field, units);
}

// Stores the three coordinates of a vertex line into vertex, each as soon as
// it is converted, so a failure in a later field keeps the earlier ones.
void ReadVertexFields(std::string_view line, Vertex& vertex, int units) {
  std::string_view rest = StripLeading(line.substr(6));
  vertex.x = ConvertField(NextField(rest), units);
  vertex.y = ConvertField(NextField(rest), units);
  vertex.z = ConvertField(LastField(rest), units);
}

// TruncateReal(P / B * 100), with B the file's size in text blocks and P
// the blocks taken so far. A file under one block has no quotient; it shows
// an empty bar.
int ReadingProgress(std::int64_t position, std::int64_t size) {
  if (size <= 0) return 0;
  return static_cast<int>(
      TruncateReal(static_cast<Real>(position) / static_cast<Real>(size) * 100));
}

// Rows the whole file will need, judged from what the rows so far took.
std::size_t ExpectedRows(std::size_t rows, std::int64_t position, std::int64_t size) {
  if (position <= 0 || size <= position) return rows + rows / 2 + 16;
  const double per_block = static_cast<double>(rows) / static_cast<double>(position);
  return static_cast<std::size_t>(per_block * static_cast<double>(size) * 1.05) + 16;
}

class InputReading {
 public:
  InputReading(GeometryStore& store, const std::string& file_name, RunDriver& driver, int units)
      : store_(store), driver_(driver), units_(units) {
    OpenTextForReading(file_, file_name);
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
  // False at the end of the data, true on a stop request.
  bool ReadLines() {
    while (!AtEnd()) {
      std::string_view line = StripLeading(ReadTextLineView(file_));
      ++line_;  // every line handed out had its own terminator (or was the last)
      CheckIoResult();
      if (!IsVertexLine(line)) {
        NoteOtherLine(line);
        continue;
      }
      last_vertex_line_ = line_;
      endsolid_after_vertices_ = false;
      if (TakeVertex(line) && StopAfterTriangle()) return true;
    }
    return false;
  }

  // Only lines that are no vertex lines are looked at, and mostly only at
  // their first byte.
  void NoteOtherLine(std::string_view line) {
    if (line.empty()) return;
    if ((line[0] | 0x20) == 'e') {
      if (StartsWithIgnoringCase(line, "endsolid")) endsolid_after_vertices_ = true;
    } else if (!solid_seen_ && StartsWithIgnoringCase(line, "solid")) {
      solid_seen_ = true;
    }
  }

  void Note(ReadingNotes& notes) {
    notes.bytes_after_ctrl_z = TextBytesAfterCtrlZ(file_);
    CheckIoResult();
    if (notes.bytes_after_ctrl_z > 0) notes.ctrl_z_line = line_ + 1;
    notes.leftover_vertices = slot_;
    notes.last_vertex_line = last_vertex_line_;
    notes.missing_endsolid = solid_seen_ && last_vertex_line_ > 0 && !endsolid_after_vertices_ &&
                             !TextEndedAtCtrlZ(file_);
  }

  bool AtEnd() {
    const bool end = TextAtEnd(file_);
    CheckIoResult();
    return end;
  }

  // Stores one vertex; true when it completed a triangle.
  bool TakeVertex(std::string_view line) {
    const std::size_t row = static_cast<std::size_t>(triangles_);
    if (row >= store_.capacity()) {
      store_.EnsureRow(row, ExpectedRows(row, TextPositionInBlocks(file_), blocks_));
    }
    Triangle& triangle = store_.triangle(row);
    ReadVertexFields(line, triangle.v[slot_], units_);
    store_.WidenBounds(triangle.v[slot_]);
    if (++slot_ < 3) return false;
    slot_ = 0;
    StoreTriangle(store_, row);
    ++triangles_;
    return true;
  }

  bool StopAfterTriangle() {
    driver_.SetProgress(ReadingProgress(TextPositionInBlocks(file_), blocks_), triangles_);
    driver_.ProcessMessages();
    return driver_.StopRequested();
  }

  GeometryStore& store_;
  RunDriver& driver_;
  int units_;
  TextFile file_;  // closed by its destructor when an error leaves early
  std::int64_t blocks_ = 0;
  std::int32_t triangles_ = 0;
  int slot_ = 0;
  std::int64_t line_ = 0;  // lines read so far
  std::int64_t last_vertex_line_ = 0;
  bool solid_seen_ = false;
  bool endsolid_after_vertices_ = false;
};

}  // namespace

std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name,
                             RunDriver& driver, int units_per_file_unit) {
  ReadingNotes notes;
  return ReadStlVertices(store, file_name, driver, units_per_file_unit, notes);
}

std::int32_t ReadStlVertices(GeometryStore& store, const std::string& file_name,
                             RunDriver& driver, int units_per_file_unit, ReadingNotes& notes) {
  InputReading reading(store, file_name, driver, units_per_file_unit);
  return reading.ReadAll(notes);
}

}  // namespace pelmoro

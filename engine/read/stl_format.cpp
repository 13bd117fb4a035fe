#include "engine/read/stl_format.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/read/other_formats.h"
#include "engine/read/vertex_line.h"
#include "foundation/binary_input.h"
#include "foundation/text.h"
#include "foundation/text_file.h"
#include "os/env.h"

namespace pelmoro {

ENotStlFile::ENotStlFile(const std::string& what_it_is)
    : Exception("not an STL file: " + what_it_is) {}

ETruncatedStl::ETruncatedStl(std::uint64_t promised, std::uint64_t held)
    : Exception("truncated binary STL: the header promises " + std::to_string(promised) +
                " triangles, the file holds " + std::to_string(held)) {}

namespace {

bool IsBinaryByte(unsigned char c) {
  return c <= 8 || (c >= 14 && c <= 25) || (c >= 27 && c <= 31);
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Letter case folded for ASCII letters only, as the reader does.
bool BeginsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((text[i] | 0x20) != word[i]) return false;
  }
  return true;
}

std::uint32_t BinaryCount(std::string_view head) {
  const auto* p = reinterpret_cast<const unsigned char*>(head.data() + 80);
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t BinarySize(std::uint32_t count) {
  return kBinaryStlHeaderBytes + kBinaryStlRecordBytes * count;
}

bool HasBinaryByte(std::string_view bytes) {
  for (char c : bytes) {
    if (IsBinaryByte(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

// A line whose first word, after bytes 0..32, begins with "facet" or
// "vertex".
bool HasKeywordLine(std::string_view head) {
  std::size_t start = 0;
  while (start < head.size()) {
    std::size_t end = start;
    while (end < head.size() && !IsLineEnd(head[end])) ++end;
    const std::string_view word = StripLeading(head.substr(start, end - start));
    if (BeginsWithWord(word, "facet") || IsVertexLine(word)) return true;
    start = end + 1;
  }
  return false;
}

bool BeginsWithSolid(std::string_view head) { return BeginsWithWord(StripLeading(head), "solid"); }

// Lines that begin with "v " or "f " (vertices and faces of an OBJ model).
bool LooksLikeObj(std::string_view head) {
  bool vertex = false, face = false;
  std::size_t start = 0;
  while (start < head.size()) {
    const std::string_view line = StripLeading(head.substr(start, 3));
    vertex = vertex || line.rfind("v ", 0) == 0;
    face = face || line.rfind("f ", 0) == 0;
    const std::size_t end = head.find_first_of("\r\n", start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return vertex && face;
}

}  // namespace

bool FindVertexLine(std::string_view bytes, int& state) {
  // state: 0..5 letters of "vertex" matched at a line start (after its
  // leading bytes 0..32), -1 inside a line that is no vertex line.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (state > 0 || (state == 0 && static_cast<unsigned char>(c) > 32)) {
      // The letters matched so far (in whatever case they came), then the
      // bytes this piece has of the keyword, then the keyword's own rest:
      // they spell it when the bytes here continue it.
      const auto matched = static_cast<std::size_t>(state);
      const std::size_t here = std::min(kVertexKeywordBytes - matched, bytes.size() - i);
      char candidate[kVertexKeywordBytes];
      std::memcpy(candidate, kVertexKeyword, kVertexKeywordBytes);
      std::memcpy(candidate + matched, bytes.data() + i, here);
      if (SpellsVertex(candidate)) {
        state += static_cast<int>(here);
        if (state == static_cast<int>(kVertexKeywordBytes)) return true;
        i += here - 1;
        continue;
      }
      state = -1;  // this byte is looked at again below: it may end the line
    }
    if (IsLineEnd(c)) {
      state = 0;
    } else if (!(state == 0 && static_cast<unsigned char>(c) <= 32)) {
      state = -1;
    }
  }
  return false;
}

HeadVerdict JudgeStlHead(std::string_view head, std::uint64_t size) {
  if (size >= kBinaryStlHeaderBytes && head.size() >= kBinaryStlHeaderBytes &&
      size == BinarySize(BinaryCount(head))) {
    return BeginsWithSolid(head) && HasKeywordLine(head) ? HeadVerdict::kAscii
                                                         : HeadVerdict::kBinary;
  }
  const bool binary_bytes = HasBinaryByte(head);
  if (BeginsWithSolid(head) && (!binary_bytes || HasKeywordLine(head))) return HeadVerdict::kAscii;
  int state = 0;
  if (FindVertexLine(head, state)) return HeadVerdict::kAscii;
  if (!binary_bytes && size > head.size()) return HeadVerdict::kTextWithoutVertices;
  return HeadVerdict::kNotStl;
}

HeadVerdict JudgeStreamHead(std::string_view head, bool at_end) {
  if (RecogniseOtherFormat(head)) return HeadVerdict::kNotStl;
  const bool binary_bytes = HasBinaryByte(head);
  if (BeginsWithSolid(head) && (!binary_bytes || HasKeywordLine(head))) return HeadVerdict::kAscii;
  int state = 0;
  if (FindVertexLine(head, state)) return HeadVerdict::kAscii;
  if (binary_bytes) return HeadVerdict::kBinary;
  return at_end ? HeadVerdict::kNotStl : HeadVerdict::kTextWithoutVertices;
}

void RefuseNonStl(std::string_view head, std::uint64_t size) {
  if (size == 0) throw ENotStlFile("the file is empty");
  if (const auto what = RecogniseOtherFormat(head)) throw ENotStlFile(*what);
  if (!HasBinaryByte(head)) {
    if (LooksLikeObj(head)) {
      throw ENotStlFile("it looks like an OBJ model (\"v\" and \"f\" lines); convert it to STL");
    }
    throw ENotStlFile("plain text without a \"solid\" line or vertex lines");
  }
  CheckBinaryStlSize(BinaryCount(head), size);
  throw ENotStlFile("binary data");  // not reached: the size failed rule 1
}

void CheckBinaryStlSize(std::uint32_t count, std::uint64_t size) {
  if (size < kBinaryStlHeaderBytes) {
    throw ENotStlFile("binary data of " + std::to_string(size) +
                      " bytes, too short for a binary STL header");
  }
  const std::uint64_t held = (size - kBinaryStlHeaderBytes) / kBinaryStlRecordBytes;
  if (BinarySize(count) > size) throw ETruncatedStl(count, held);
  if (BinarySize(count) < size) {
    throw ENotStlFile("binary data of " + std::to_string(size) + " bytes, where a binary STL of " +
                      std::to_string(count) + " triangles (its header's count) has " +
                      std::to_string(BinarySize(count)));
  }
}

bool IsStreamInput(const std::string& file_name) {
  FileStatus status;
  return CurrentEnv().StatPath(file_name, &status) && IsStream(status.kind);
}

StlFormat DetectStlFormat(const std::string& file_name) {
  // A pipe is not even opened here: its writer would see the reader go.
  if (IsStreamInput(file_name)) return StlFormat::kAscii;
  BinaryInput input(file_name);
  if (!input.is_regular()) return StlFormat::kAscii;
  const std::uint64_t size = input.size();
  // The head is all most files need; fresh memory is not free.
  char head_bytes[kStlHeadBytes];
  const std::string_view head(head_bytes, input.Read(head_bytes, kStlHeadBytes));
  switch (JudgeStlHead(head, size)) {
    case HeadVerdict::kAscii:
      return StlFormat::kAscii;
    case HeadVerdict::kBinary:
      return StlFormat::kBinary;
    case HeadVerdict::kNotStl:
      RefuseNonStl(head, size);
    case HeadVerdict::kTextWithoutVertices:
      break;
  }
  int state = 0;
  FindVertexLine(head, state);
  std::vector<char> buffer(kTextReadChunk);
  for (std::size_t n; (n = input.Read(buffer.data(), buffer.size())) > 0;) {
    if (FindVertexLine({buffer.data(), n}, state)) return StlFormat::kAscii;
  }
  RefuseNonStl(head, size);
}

}  // namespace pelmoro

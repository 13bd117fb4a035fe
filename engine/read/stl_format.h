// Telling the kinds of STL file apart, and refusing what is no STL file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/errors.h"

namespace pelmoro {

// Binary STL layout: an 80-byte header, a little-endian uint32 triangle
// count n, then n records of 50 bytes (normal, three vertices, attribute).
inline constexpr std::uint64_t kBinaryStlHeaderBytes = 84;
inline constexpr std::uint64_t kBinaryStlRecordBytes = 50;
// The bytes at the start of a file that decide its kind.
inline constexpr std::size_t kStlHeadBytes = 8192;

enum class StlFormat { kAscii, kBinary };

// A file that is neither an ASCII nor a binary STL file; the message says
// what it looks like instead.
class ENotStlFile : public Exception {
 public:
  explicit ENotStlFile(const std::string& what_it_is);
};

// A binary STL file whose header promises more triangles than it holds.
class ETruncatedStl : public Exception {
 public:
  ETruncatedStl(std::uint64_t promised, std::uint64_t held);
};

// The verdict on a file from its first bytes and its size.
enum class HeadVerdict {
  kAscii,
  kBinary,
  kTextWithoutVertices,  // text so far: ASCII when the rest holds a vertex line
  kNotStl,
};

// Decides the kind of a file of `size` bytes whose first bytes are `head`
// (the whole file, or at least its first kStlHeadBytes). Let n be the
// little-endian uint32 at byte 80; a binary byte one of the control codes
// 0-8, 14-25 and 27-31 (text has tabs, line ends, form feeds and Ctrl-Z at
// most); and a keyword line a line of the head whose first word, after
// blanks and control characters, begins with "facet" or "vertex" in any
// letter case.
//   1. size >= 84 and size == 84 + 50 n: binary, unless the file begins
//      (after blanks) with "solid" and holds a keyword line: then ASCII.
//      An ASCII file of that size has the bytes 80..83 it needs only by
//      design (pure text there gives n of 150 million or more), so its solid
//      line holds control bytes; a binary file holds a line that begins with
//      "facet" or "vertex" only by a chance of about 2^-48 per byte.
//   2. Begins with "solid" and holds a keyword line or no binary byte: ASCII,
//      whatever its size (an empty solid is the empty model).
//   3. Holds a vertex line, as the ASCII reader recognises one: ASCII. Text
//      without one whose rest is not in the head yet: kTextWithoutVertices.
//   4. Anything else is no STL file, and a file that fails rule 1 on its
//      size, but not by being text, a known signature or too short, is a
//      truncated binary STL (more promised than held) or one with bytes
//      after its last triangle; both are refused.
HeadVerdict JudgeStlHead(std::string_view head, std::uint64_t size);

// The verdict on the first bytes of an input whose size cannot be known
// beforehand (a pipe, a device): head holds its first kStlHeadBytes, or all
// of it when at_end.
//   1. Another kind of file (RecogniseOtherFormat): no STL file.
//   2. Begins with "solid" and holds a keyword line or no binary byte, or
//      holds a vertex line: ASCII.
//   3. Holds a binary byte: binary (the records must then end the data
//      exactly, which the reading checks as it goes).
//   4. Text without either: kTextWithoutVertices while more may come (the
//      reading refuses it at the end if no vertex line came), else no STL
//      file (an empty input included).
HeadVerdict JudgeStreamHead(std::string_view head, bool at_end);

// Refuses a binary STL whose size is not the 84 + 50 n bytes its count n
// asks for: ETruncatedStl when it is shorter, ENotStlFile when longer.
// Returns quietly when the size is right.
void CheckBinaryStlSize(std::uint32_t count, std::uint64_t size);

// For kNotStl: raises the error that says why (ENotStlFile or
// ETruncatedStl).
[[noreturn]] void RefuseNonStl(std::string_view head, std::uint64_t size);

// True when bytes hold a vertex line as the ASCII reader sees one. `state`
// carries a line cut at the end of one piece into the next (start with 0).
bool FindVertexLine(std::string_view bytes, int& state);

// True when the name denotes a pipe, a terminal or another device: an input
// read once, its size unknown. False for a regular file, a folder, and a
// name that denotes nothing (opening it reports why).
bool IsStreamInput(const std::string& file_name);

// Opens the file and decides its kind by the rules above, reading past the
// head only for text without vertex lines so far. A file that is no regular
// file (a pipe, a device) cannot be looked at twice: it is not opened, and
// is taken as ASCII (ReadStlModel reads such inputs by JudgeStreamHead).
// Raises EInOutError when the file cannot be opened or read, ENotStlFile or
// ETruncatedStl when it is no STL file.
StlFormat DetectStlFormat(const std::string& file_name);

}  // namespace pelmoro

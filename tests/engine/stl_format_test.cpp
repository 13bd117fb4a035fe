#include "engine/read/stl_format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/read/stl_chunk.h"
#include "engine/read/vertex_line.h"
#include "foundation/errors.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::AsciiStl;
using testing::BinaryStl;
using testing::FloatTriangle;
using testing::TempDir;

const std::vector<FloatTriangle> kTwo = {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, 1, 2, 0, 1, 0, 2, 1}};

// An ASCII STL whose solid line holds, at bytes 80..83, the count of a
// binary file of exactly its size: 84 + 50 * 3 bytes with two facets.
std::string AsciiOfBinarySize() {
  std::string text = "solid " + std::string(74, 'n');
  text += std::string("\x03\x00\x00\x00", 4) + "\n";
  text +=
      "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
      "endloop\nendfacet\n";
  text +=
      "facet normal 0 0 1\nouter loop\nvertex 0 0 1\nvertex 2 0 1\nvertex 0 2 1\n"
      "endloop\nendfacet\n";
  text += "endsolid";
  text.resize(84 + 50 * 3, ' ');
  return text;
}

std::string Cut(std::string bytes, std::size_t lost) {
  bytes.resize(bytes.size() - lost);
  return bytes;
}

struct FormatCase {
  std::string name;
  std::string bytes;
  // "ascii" or "binary", or the message of the refusal.
  std::string verdict;
};

class DetectStlFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DetectStlFormatTest, TellsTheKind) {
  TempDir dir;
  const std::string path = dir.Write("model.stl", GetParam().bytes);
  std::string verdict;
  try {
    verdict = DetectStlFormat(path) == StlFormat::kBinary ? "binary" : "ascii";
  } catch (const Exception& e) {
    verdict = e.message();
  }
  EXPECT_EQ(verdict, GetParam().verdict);
}

const std::string kText = "This is a note about the model.\nIt has two lines.\n";

// ASCII text in a wider encoding: each character's code in `width` bytes,
// in either order, after an optional byte-order mark.
std::string Widened(const std::string& text, int width, bool big_endian, std::string mark = "") {
  std::string out = std::move(mark);
  for (char c : text) {
    std::string unit(static_cast<std::size_t>(width), '\0');
    unit[big_endian ? unit.size() - 1 : 0] = c;
    out += unit;
  }
  return out;
}

const std::string kAsciiSolid = "solid part\n  facet normal 0 0 1\n    outer loop\n";
const std::string kUtf16 = "not an STL file: it looks like UTF-16 text; save it as ASCII or UTF-8";
const std::string kUtf32 = "not an STL file: it looks like UTF-32 text; save it as ASCII or UTF-8";
const std::string kPly =
    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

INSTANTIATE_TEST_SUITE_P(
    Files, DetectStlFormatTest,
    ::testing::Values(
        FormatCase{"BinaryArbitraryHeader", BinaryStl(kTwo, "Exported by a CAD system"), "binary"},
        FormatCase{"BinaryHeaderBeginsWithSolid", BinaryStl(kTwo, "solid part"), "binary"},
        // A header that even names the keywords, but not at a line start.
        FormatCase{"BinarySolidHeaderNamingFacets", BinaryStl(kTwo, "solid facets vertex"),
                   "binary"},
        FormatCase{"BinaryWithoutTriangles", BinaryStl({}, "solid empty"), "binary"},
        FormatCase{"AsciiWithSolid", AsciiStl(kTwo), "ascii"},
        FormatCase{"AsciiWithoutSolid", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n", "ascii"},
        FormatCase{"AsciiCapitalsIndented", "  SOLID X\r\n FACET NORMAL 0 0 1\r\n", "ascii"},
        FormatCase{"AsciiOfTheSizeOfABinary", AsciiOfBinarySize(), "ascii"},
        FormatCase{"AsciiSolidWithoutFacets", "solid nothing\nendsolid nothing\n", "ascii"},
        FormatCase{"AsciiVertexLinesAfterTheHead",
                   std::string(kStlHeadBytes + 100, 'c') + "\nvertex 0 0 0\n", "ascii"},
        FormatCase{"ZeroBytes", "", "not an STL file: the file is empty"},
        FormatCase{"TruncatedBinary", Cut(BinaryStl(kTwo, "model"), 30),
                   "truncated binary STL: the header promises 2 triangles, the file holds 1"},
        FormatCase{"TruncatedBinarySolidHeader", Cut(BinaryStl(kTwo, "solid model"), 1),
                   "truncated binary STL: the header promises 2 triangles, the file holds 1"},
        FormatCase{"HeaderPromisesMillions", BinaryStl(kTwo, "model", 5'000'000),
                   "truncated binary STL: the header promises 5000000 triangles, the file holds 2"},
        FormatCase{"BinaryWithTrailingBytes",
                   BinaryStl(kTwo, "solid model") + std::string("\0\0ab", 4),
                   "not an STL file: binary data of 188 bytes, where a binary STL of 2 triangles "
                   "(its header's count) has 184"},
        FormatCase{"ShortBinary", std::string("\x01\x02\x03", 3),
                   "not an STL file: binary data of 3 bytes, too short for a binary STL header"},
        FormatCase{"Png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(200, '\0'),
                   "not an STL file: it begins like a PNG image"},
        FormatCase{"Jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10),
                   "not an STL file: it begins like a JPEG image"},
        FormatCase{"Zip", std::string("PK\x03\x04\x14\0\0\0", 8) + std::string(300, 'z'),
                   "not an STL file: it begins like a ZIP archive (a 3MF model is one)"},
        FormatCase{"Pdf", "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n1 0 obj\n",
                   "not an STL file: it begins like a PDF document"},
        FormatCase{"Gzip", std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03", 10) + std::string(90, 'g'),
                   "not an STL file: it begins like a gzip-compressed file; unpack it first"},
        FormatCase{"ThreeMf",
                   std::string("PK\x03\x04\x14\0\0\0\x08\0", 10) + std::string(16, '\0') +
                       std::string("\x13\0\0\0", 4) + "[Content_Types].xml" + std::string(60, 'x'),
                   "not an STL file: it looks like a 3MF model (a ZIP archive); export it as STL"},
        FormatCase{"Utf16LittleEndianWithMark", Widened(kAsciiSolid, 2, false, "\xFF\xFE"), kUtf16},
        FormatCase{"Utf16BigEndianWithMark", Widened(kAsciiSolid, 2, true, "\xFE\xFF"), kUtf16},
        FormatCase{"Utf16WithoutMark", Widened(kAsciiSolid, 2, false), kUtf16},
        FormatCase{"Utf16BigEndianWithoutMark", Widened(kAsciiSolid, 2, true), kUtf16},
        FormatCase{"Utf32LittleEndianWithMark",
                   Widened(kAsciiSolid, 4, false, std::string("\xFF\xFE\0\0", 4)), kUtf32},
        FormatCase{"Utf32BigEndianWithoutMark", Widened(kAsciiSolid, 4, true), kUtf32},
        FormatCase{"PlyText", kPly, "not an STL file: it looks like a PLY model; export it as STL"},
        FormatCase{"PlyBinary",
                   "ply\r\nformat binary_little_endian 1.0\r\nend_header\r\n" +
                       std::string("\0\0\x80\x3F\x01\x02", 6),
                   "not an STL file: it looks like a PLY model; export it as STL"},
        FormatCase{"Off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
                   "not an STL file: it looks like an OFF model; export it as STL"},
        FormatCase{"ColouredOff", "COFF 3 1 0\n0 0 0 255 0 0 255\n",
                   "not an STL file: it looks like an OFF model; export it as STL"},
        FormatCase{"Obj", "# cube\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1 2 3\n",
                   "not an STL file: it looks like an OBJ model (\"v\" and \"f\" lines); "
                   "convert it to STL"},
        FormatCase{"PlainText", kText,
                   "not an STL file: plain text without a \"solid\" line or vertex lines"},
        FormatCase{"LongPlainText", std::string(3 * kStlHeadBytes, 't') + "\n" + kText,
                   "not an STL file: plain text without a \"solid\" line or vertex lines"}),
    [](const auto& info) { return info.param.name; });

TEST(DetectStlFormatTest, MissingFileIsAnInputError) {
  TempDir dir;
  try {
    DetectStlFormat(dir.File("absent.stl"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.code(), 2);
  }
  EXPECT_THROW(DetectStlFormat(dir.path().string()), EInOutError);
}

// The vertex keyword as each of its readers sees it: a line on its own,
// the format check fed in two pieces cut anywhere, and the chunk parser.
struct KeywordCase {
  std::string name;
  std::string line;  // as in the file, leading bytes included
  bool vertex;
};

class VertexKeywordTest : public ::testing::TestWithParam<KeywordCase> {};

bool ChunkParserSeesVertex(const std::string& line) {
  StlChunk chunk;
  const std::string text = line + "\n";
  chunk.bytes.assign(text.begin(), text.end());
  chunk.bytes.resize(text.size() + kChunkPadding, '\n');
  chunk.length = text.size();
  chunk.ends_data = true;
  ParseStlChunk(chunk, kGridUnitsPerMillimetre);
  return chunk.last_vertex_line == 1;
}

TEST_P(VertexKeywordTest, EveryReaderAgrees) {
  const KeywordCase& c = GetParam();
  EXPECT_EQ(IsVertexLine(StripLeading(c.line)), c.vertex);
  EXPECT_EQ(ChunkParserSeesVertex(c.line), c.vertex);
  const std::string text = c.line + "\n";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    int state = 0;
    const bool first = FindVertexLine(std::string_view(text).substr(0, cut), state);
    const bool found = first || FindVertexLine(std::string_view(text).substr(cut), state);
    EXPECT_EQ(found, c.vertex) << "cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, VertexKeywordTest,
    ::testing::Values(KeywordCase{"Small", "vertex 1 2 3", true},
                      KeywordCase{"Capitals", "VERTEX 1 2 3", true},
                      KeywordCase{"Mixed", "vErTeX 1 2 3", true},
                      KeywordCase{"NoBlankBeforeTheNumber", "vertex1 2 3", true},
                      KeywordCase{"LeadingBlanksAndControls", " \t\x01vertex 1 2 3", true},
                      KeywordCase{"LongerWord", "vertexes 1 2 3", true},
                      KeywordCase{"KeywordAlone", "vertex", true},
                      KeywordCase{"Short", "verte", false},
                      KeywordCase{"LastLetterWrong", "vertez 1 2 3", false},
                      KeywordCase{"FoldsOnlyLetters", "vert\x05x 1 2 3", false},
                      KeywordCase{"AtByteNotE", "v@rtex 1 2 3", false},
                      KeywordCase{"BlankInside", "ver tex 1 2 3", false},
                      KeywordCase{"NotFirstWord", "a vertex 1 2 3", false},
                      KeywordCase{"Facet", "facet normal 0 0 1", false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pelmoro

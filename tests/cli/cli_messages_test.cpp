// What stl2hzm says about a failed file, in English and, under a Japanese
// locale, in the converter's own words; where in the input; and what it
// warns about.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>

#include <filesystem>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/stl_files.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

const std::string kGood = "solid g\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendsolid g\n";

enum class Language { kEnglish, kJapanese };

// LANG alone decides, as on a desktop: LC_ALL and LANGUAGE are emptied.
std::vector<std::string> LocaleOf(Language language) {
  return {
      "LC_ALL=", "LANGUAGE=", language == Language::kEnglish ? "LANG=C.UTF-8" : "LANG=ja_JP.UTF-8"};
}

void SkipWithoutJapanese(Language language) {
  if (language == Language::kJapanese && !HasLocale("ja_JP.UTF-8")) {
    GTEST_SKIP() << "no ja_JP.UTF-8 locale here (scripts/install-deps.sh makes it)";
  }
}

struct ErrorCase {
  const char* label;
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes; "/" ends a folder
  std::vector<std::string> args;
  std::string english;
  std::string japanese;
  rlim_t file_size_limit = RLIM_INFINITY;  // for the child, in bytes
  // When given: whether this system can show the case at all.
  bool (*possible_here)() = nullptr;
};

// sysfs lets nobody create a file, root included, while it is mounted
// read-write (read-only, it would say so instead).
bool SysfsWritable() {
  constexpr long kSysfsMagic = 0x62656572;
  struct statfs fs {};
  struct statvfs vfs {};
  return ::statfs("/sys", &fs) == 0 && fs.f_type == kSysfsMagic && ::statvfs("/sys", &vfs) == 0 &&
         (vfs.f_flag & ST_RDONLY) == 0;
}

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.label; }

class CliErrorMessageTest : public ::testing::TestWithParam<std::tuple<ErrorCase, Language>> {};

TEST_P(CliErrorMessageTest, SaysWhatHappenedInTheUsersLanguage) {
  const auto& [c, language] = GetParam();
  SkipWithoutJapanese(language);
  if (c.possible_here != nullptr && !c.possible_here()) GTEST_SKIP() << "not on this system";
  TempDir dir;
  for (const auto& [name, bytes] : c.files) {
    if (name.back() == '/') {
      std::filesystem::create_directories(dir.path() / name);
    } else {
      dir.Write(name, bytes);
    }
  }
  std::vector<std::string> args{"-q"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  Launch launch{args, dir.path().string(), LocaleOf(language)};
  launch.file_size_limit = c.file_size_limit;
  const Outcome r = RunStl2hzm(launch);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, (language == Language::kEnglish ? c.english : c.japanese) + "\n");
}

const std::string kOutOfRange =
    "'1e12' is outside the coordinate range of -53687091 to 53687091 mm.";

// 401 x 401 points at 0.025 mm: the grid's text and the PNG's heights (over
// 65,535 units, so kept on the disk) take some hundred kilobytes of scratch
// file each, written out when the scan has ended; the limit strikes there.
const std::string kScratchModel = "vertex 0 0 0\nvertex 10 0 2000\nvertex 0 10 1000\n";
constexpr rlim_t kScratchLimit = 64 * 1024;

const std::string kNanInSecondTriangle =
    BinaryStl({{0, 0, 1, 1, 0, 0, 0, 1, 0},
               {0, 0, 1, 1, 0, 0, 0, 1, std::numeric_limits<float>::quiet_NaN()}});

INSTANTIATE_TEST_SUITE_P(
    Errors, CliErrorMessageTest,
    ::testing::Combine(
        ::testing::Values(
            ErrorCase{"MissingInput",
                      {},
                      {"gone.stl"},
                      "cannot open gone.stl: no such file",
                      "gone.stl: ファイルが見つかりません."},
            ErrorCase{"InputIsAFolder",
                      {{"part.stl/", ""}},
                      {"part.stl"},
                      "cannot open part.stl: it is a folder",
                      "part.stl: ファイルへのアクセスが拒否されました."},
            ErrorCase{"MissingOutputFolder",
                      {{"g.stl", kGood}},
                      {"-o", "x/y.hzm", "g.stl"},
                      "cannot create x/y.hzm: folder does not exist",
                      "x/y.hzm: 不正なファイル名です."},
            ErrorCase{"OutputPathThroughAFile",
                      {{"g.stl", kGood}},
                      {"-o", "g.stl/y.hzm", "g.stl"},
                      "cannot create g.stl/y.hzm: a part of its path is not a folder",
                      "g.stl/y.hzm: 不正なファイル名です."},
            ErrorCase{"DiskFull",
                      {{"g.stl", kGood}},
                      {"-o", "/dev/full", "g.stl"},
                      "disk full while writing /dev/full (No space left on device)",
                      "/dev/full: I/O エラー (112)"},
            ErrorCase{"OutputWhereNobodyMayCreateAFile",
                      {{"g.stl", kGood}},
                      {"-o", "/sys/m.hzm", "g.stl"},
                      "cannot create /sys/m.hzm: permission denied",
                      "/sys/m.hzm: ファイルへのアクセスが拒否されました.",
                      RLIM_INFINITY,
                      SysfsWritable},
            ErrorCase{"GridScratchFileOverTheSizeLimit",
                      {{"s.stl", kScratchModel}},
                      {"--pitch", "0.025", "-o", "big.asc", "s.stl"},
                      "cannot write big.asc: File too large",
                      "big.asc: I/O エラー (27)",
                      kScratchLimit},
            ErrorCase{"PngScratchFileOverTheSizeLimit",
                      {{"s.stl", kScratchModel}},
                      {"--pitch", "0.025", "-o", "big.png", "s.stl"},
                      "cannot write big.png: File too large",
                      "big.png: I/O エラー (27)",
                      kScratchLimit},
            ErrorCase{"BadNumberOnTheFirstLine",
                      {{"b.stl", "vertex x 0 0\nvertex 1 0 0\n"}},
                      {"b.stl"},
                      "b.stl:1: 'x' is not a number",
                      "b.stl:1: 'x' は浮動小数点数ではありません."},
            ErrorCase{"BadNumberOnAMiddleLine",
                      {{"b.stl",
                        "solid b\r\nfacet normal 0 0 1\r\nouter loop\r\nvertex 0 0 0\r\n"
                        "vertex 1 2..5 0\r\nvertex 0 1 0\r\nendloop\r\nendsolid b\r\n"}},
                      {"b.stl"},
                      "b.stl:5: '2..5' is not a number",
                      "b.stl:5: '2..5' は浮動小数点数ではありません."},
            ErrorCase{"BadNumberOnTheLastLineWithoutLineEnd",
                      {{"b.stl", "vertex 0 0 0\n\nvertex 1 0 0\rvertex 0 1 1,5"}},
                      {"b.stl"},
                      "b.stl:4: '1,5' is not a number",
                      "b.stl:4: '1,5' は浮動小数点数ではありません."},
            // A binary file's errors name the triangle and its field.
            ErrorCase{"NanInABinaryTriangle",
                      {{"n.stl", kNanInSecondTriangle}},
                      {"n.stl"},
                      "n.stl: triangle 2: vertex 3 z is not a number (nan)",
                      "n.stl: 三角形 2: 頂点 3 の z が数ではありません (nan)"},
            // The converter's own messages, in the catalog's words.
            ErrorCase{"CoordinateOutOfRange",
                      {{"r.stl", "\n\nvertex 1e12 0 0\n"}},
                      {"r.stl"},
                      "r.stl:3: " + kOutOfRange,
                      "r.stl:3: '1e12' は座標の範囲 -53687091 ～ 53687091 mm の外です."},
            ErrorCase{
                "NotAnStlFile",
                {{"n.stl", "remember the milk\n"}},
                {"n.stl"},
                "n.stl: not an STL file: plain text without a \"solid\" line or vertex "
                "lines.",
                "n.stl: STL ファイルではありません: \"solid\" 行も頂点の行もないテキストです."},
            ErrorCase{"ObjModel",
                      {{"m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"}},
                      {"m.obj"},
                      "m.obj: not an STL file: it looks like an OBJ model (\"v\" and \"f\" "
                      "lines); convert it to STL.",
                      "m.obj: STL ファイルではありません: OBJ モデル (\"v\" 行と \"f\" 行) "
                      "のようです; STL に変換してください."},
            ErrorCase{"TruncatedBinary",
                      {{"t.stl", kNanInSecondTriangle.substr(0, 84 + 50 + 20)}},
                      {"t.stl"},
                      "t.stl: truncated binary STL: the header promises 2 triangles, the file "
                      "holds 1.",
                      "t.stl: 途中で切れたバイナリ STL です: ヘッダーは三角形 2 個としていますが, "
                      "ファイルには 1 個しかありません."},
            ErrorCase{"PngImage",
                      {{"p.stl", "\x89PNG\r\n\x1a\n and more bytes"}},
                      {"p.stl"},
                      "p.stl: not an STL file: it begins like a PNG image.",
                      "p.stl: STL ファイルではありません: PNG 画像のように始まっています."},
            // Notepad's "Unicode": every other byte zero, once called a
            // truncated binary STL.
            ErrorCase{"Utf16Input",
                      {{"u.stl", std::string("\xFF\xFEs\0o\0l\0i\0d\0 \0u\0\n\0", 18)}},
                      {"u.stl"},
                      "u.stl: not an STL file: it looks like UTF-16 text; save it as ASCII or "
                      "UTF-8.",
                      "u.stl: STL ファイルではありません: UTF-16 のテキストのようです; ASCII か "
                      "UTF-8 で保存してください."},
            ErrorCase{"PlyInput",
                      {{"p.stl", "ply\nformat ascii 1.0\nelement vertex 0\nend_header\n"}},
                      {"p.stl"},
                      "p.stl: not an STL file: it looks like a PLY model; export it as STL.",
                      "p.stl: STL ファイルではありません: PLY モデルのようです; STL で"
                      "書き出してください."},
            // A line end in a name would split the "FILE: message" line.
            ErrorCase{"LineEndInTheName",
                      {{"a\nb.stl", "remember the milk\n"}},
                      {"a\nb.stl"},
                      "'a\\nb.stl': not an STL file: plain text without a \"solid\" line or "
                      "vertex lines.",
                      "'a\\nb.stl': STL ファイルではありません: \"solid\" 行も頂点の行もない"
                      "テキストです."},
            ErrorCase{"MissingInputWithATabInItsName",
                      {},
                      {"gone\t.stl"},
                      "cannot open 'gone\\t.stl': no such file",
                      "'gone\\t.stl': ファイルが見つかりません."}),
        ::testing::Values(Language::kEnglish, Language::kJapanese)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).label) +
             (std::get<1>(info.param) == Language::kEnglish ? "_C" : "_ja");
    });

struct WarningCase {
  const char* label;
  std::string stl;
  std::vector<std::string> warnings;  // the lines of stderr that warn, in order
};

void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.label; }

std::vector<std::string> WarningLinesOf(const std::string& err) {
  std::vector<std::string> lines;
  std::istringstream in(err);
  for (std::string line; std::getline(in, line);) {
    if (line.find("warning:") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

class CliWarningTest : public ::testing::TestWithParam<WarningCase> {};

TEST_P(CliWarningTest, WarnsOnStderrAndStillSucceeds) {
  TempDir dir;
  dir.Write("m.stl", GetParam().stl);
  const Outcome r = RunStl2hzm({{"-o", "-", "m.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WarningLinesOf(r.err), GetParam().warnings) << r.err;
  EXPECT_EQ(r.out.rfind("VERSION=6\r\n", 0), 0u);
}

TEST_P(CliWarningTest, QuietSilencesEveryWarning) {
  TempDir dir;
  dir.Write("m.stl", GetParam().stl);
  const Outcome r = RunStl2hzm({{"-q", "-o", "-", "m.stl"}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
}

const std::string kFacet =
    "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\n"
    "endfacet\n";

INSTANTIATE_TEST_SUITE_P(
    Warnings, CliWarningTest,
    ::testing::Values(
        WarningCase{"CleanFile", "solid m\n" + kFacet + "endsolid m\n", {}},
        WarningCase{"BareVerticesNeedNoEndsolid", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n", {}},
        WarningCase{"CtrlZAsTheLastByte", "solid m\n" + kFacet + "endsolid m\n\x1a", {}},
        WarningCase{"CtrlZWithDataAfterIt",
                    "solid m\n" + kFacet + "\x1a" + kFacet + "endsolid m\n",  // 86 + 11 after it
                    {"m.stl:9: warning: reading ended at a Ctrl-Z byte; the 97 bytes after it "
                     "were not read"}},
        WarningCase{"CtrlZWithOneByteAfterIt",
                    "solid m\n" + kFacet + "endsolid m\n\x1a\n",
                    {"m.stl:10: warning: reading ended at a Ctrl-Z byte; the 1 byte after it "
                     "was not read"}},
        WarningCase{"OneVertexLeftOver",
                    "solid m\n" + kFacet + "vertex 5 5 5\nendsolid m\n",
                    {"m.stl:9: warning: the input ends with 1 vertex of an incomplete "
                     "triangle, which was left out"}},
        WarningCase{"TwoVerticesLeftOverAtTheCut",
                    "solid m\n" + kFacet +
                        "facet normal 0 0 1\nouter loop\nvertex 5 5 5\n"
                        "vertex 6 5 5",
                    {"m.stl:12: warning: the input ends with 2 vertices of an incomplete "
                     "triangle, which were left out",
                     "m.stl: warning: no \"endsolid\" line after the last facet; the file is "
                     "probably truncated"}},
        WarningCase{"NoEndsolidAfterTheLastFacet",
                    "solid m\n" + kFacet + "endsolid m\nsolid n\n" + kFacet,
                    {"m.stl: warning: no \"endsolid\" line after the last facet; the file is "
                     "probably truncated"}},
        WarningCase{"EmptySolid",
                    "solid nothing\nendsolid nothing\n",
                    {"m.stl: warning: no triangles in this model; its height map is flat"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CliStandardStreamsTest, DashReadsStandardInputAndWritesStandardOutput) {
  TempDir dir;
  Launch launch{{"-q", "--pitch", "1", "-"}, dir.path().string()};
  launch.stdin_file = TestData("worked_example.stl");
  const Outcome r = RunStl2hzm(launch);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, ReadFileBytes(TestData("worked_example.hzm")));
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

TEST(CliStandardStreamsTest, DashAsOutputWritesStandardOutputAndNamesItSo) {
  TempDir dir;
  const Outcome r = RunStl2hzm(
      {{"--pitch", "1", "-o", "-", TestData("worked_example.stl")}, dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, ReadFileBytes(TestData("worked_example.hzm")));
  EXPECT_NE(r.err.find("3 x 3 points -> standard output"), std::string::npos) << r.err;
  EXPECT_TRUE(ListFolder(dir.path()).empty());
}

TEST(CliStandardStreamsTest, ErrorsOnStandardInputNameIt) {
  TempDir dir;
  Launch launch{{"-q", "-o", "-", "-"}, dir.path().string()};
  launch.stdin_file = dir.Write("bad.stl", "vertex 0 0 0\nvertex 0 y 0\n");
  const Outcome r = RunStl2hzm(launch);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "standard input:2: 'y' is not a number\n");
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace pelmoro::testing

// stl2hzm against the golden files of tests/golden/: every case of
// cases.txt runs the built program in a fresh folder, and its height map,
// its further outputs (--also, --preview), stderr and exit status must
// match byte for byte (PNGs by what they hold: another zlib may pack the
// same pixels into other bytes). With
// PELMORO_REGENERATE_GOLDEN=1 the expected files are written from the
// program's output instead (see tests/golden/README.md).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "tests/cli/child_process.h"
#include "tests/support/map_readers.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kPollLimitMs = 60 * 1000;

enum class How { kRun, kStop };

struct GoldenCase {
  std::string name;
  std::string input;
  int exit_code = 0;
  How how = How::kRun;
  std::vector<std::string> args;
  // The further outputs the arguments name (--also F, --preview F); F is
  // expected as NAME.F.
  std::vector<std::string> further;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

fs::path GoldenDir() { return PELMORO_GOLDEN_DIR; }
fs::path ManifestPath() { return GoldenDir() / "cases.txt"; }

bool Regenerating() {
  const char* value = std::getenv("PELMORO_REGENERATE_GOLDEN");
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

// The cases of the manifest; a line that does not parse becomes a case
// without input, which fails with the line in its name's place.
std::vector<GoldenCase> ReadGoldenCases() {
  std::vector<GoldenCase> cases;
  std::ifstream in(ManifestPath());
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    GoldenCase c;
    std::string exit_text, how;
    fields >> c.name >> c.input >> exit_text >> how;
    for (std::string arg; fields >> arg;) {
      if (!c.args.empty() && (c.args.back() == "--also" || c.args.back() == "--preview")) {
        c.further.push_back(arg);
      }
      c.args.push_back(arg);
    }
    if (c.name.empty()) continue;
    c.exit_code = std::atoi(exit_text.c_str());
    c.how = how == "stop" ? How::kStop : How::kRun;
    if (how != "run" && how != "stop") c.input.clear();
    cases.push_back(c);
  }
  return cases;
}

// The map's name: the input's up to its last ".", then ".hzm".
std::string OutputNameOf(const std::string& input) {
  return input.substr(0, input.rfind('.')) + ".hzm";
}

std::string Visible(const std::string& line) {
  std::string out;
  for (char c : line) out += c == '\r' ? std::string("\\r") : c == '\n' ? "\\n" : std::string(1, c);
  return out;
}

// Where two texts part, as "line N: expected ... got ..." (lines end at LF).
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::size_t begin = 0;
  for (int line = 1;; ++line) {
    const std::size_t e_end = expected.find('\n', begin);
    const std::size_t a_end = actual.find('\n', begin);
    const std::string e =
        expected.substr(begin, e_end == std::string::npos ? e_end : e_end + 1 - begin);
    const std::string a =
        actual.substr(begin, a_end == std::string::npos ? a_end : a_end + 1 - begin);
    if (e != a) {
      return "first difference in line " + std::to_string(line) + ": expected \"" + Visible(e) +
             "\", got \"" + Visible(a) + "\" (" + std::to_string(expected.size()) +
             " bytes expected, " + std::to_string(actual.size()) + " written)";
    }
    if (e_end == std::string::npos) return "no difference";
    begin = e_end + 1;
  }
}

struct GoldenRun {
  Outcome outcome;
  bool has_output = false;
  std::string output;
};

// A further output against its golden file.
::testing::AssertionResult SameOutput(const std::string& made, const fs::path& golden) {
  if (!fs::exists(made)) return ::testing::AssertionFailure() << made << " was not written";
  if (golden.extension() != ".png") {
    if (ReadFileBytes(made) == ReadFileBytes(golden.string())) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << made << " differs from " << golden;
  }
  const DecodedPng a = DecodePng(made);
  const DecodedPng b = DecodePng(golden.string());
  if (a.width == b.width && a.height == b.height && a.bit_depth == b.bit_depth &&
      a.pixels == b.pixels && a.texts == b.texts) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << made << " holds another picture than " << golden;
}

GoldenRun RunCase(const GoldenCase& c, const TempDir& dir) {
  std::vector<std::string> args = c.args;
  args.push_back(c.input);
  GoldenRun run;
  run.outcome = RunStl2hzm({args, dir.path().string()});
  const std::string output = dir.File(OutputNameOf(c.input));
  run.has_output = fs::exists(output);
  if (run.has_output) run.output = ReadFileBytes(output);
  return run;
}

// The map goes to a pipe, which stl2hzm writes directly, a buffer of
// kTextWriteBuffer bytes at a time. The pipe holds less than that, so the
// first write cannot end before this side reads: stl2hzm is then inside the
// row holding the buffer's last byte, past the stop checks of the rows
// before it. Ctrl-C sent now stops the scan after that row, however slow or
// fast either side runs; the test only waits for the write to begin.
GoldenRun RunStopCase(const GoldenCase& c, const TempDir& dir) {
  GoldenRun run;
  const std::string pipe = dir.File(OutputNameOf(c.input));
  if (::mkfifo(pipe.c_str(), 0600) != 0) {
    ADD_FAILURE() << "mkfifo " << pipe;
    return run;
  }
  const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    ADD_FAILURE() << "open " << pipe;
    return run;
  }
  const int capacity = ::fcntl(fd, F_SETPIPE_SZ, 4096);
  if (capacity <= 0 || static_cast<std::size_t>(capacity) >= kTextWriteBuffer) {
    ::close(fd);
    ADD_FAILURE() << "no pipe below " << kTextWriteBuffer << " bytes here (" << capacity << ")";
    return run;
  }
  std::vector<std::string> args = c.args;
  args.push_back(c.input);
  Child child({args, dir.path().string()});
  struct pollfd wait_for {
    fd, POLLIN, 0
  };
  // Before stl2hzm opens the pipe there is no writer, and no hang-up either.
  const bool began = ::poll(&wait_for, 1, kPollLimitMs) == 1 && (wait_for.revents & POLLIN) != 0;
  EXPECT_TRUE(began) << "stl2hzm wrote nothing into the pipe";
  if (began) child.Signal(SIGINT);
  run.has_output = began;
  for (bool open = began; open;) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      run.output.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      open = false;  // stl2hzm closed its end
    } else if (errno == EAGAIN || errno == EINTR) {
      struct pollfd more {
        fd, POLLIN, 0
      };
      if (::poll(&more, 1, kPollLimitMs) == 0) {
        ADD_FAILURE() << "the map stopped coming";
        open = false;
      }
    } else {
      ADD_FAILURE() << "read from the pipe failed";
      open = false;
    }
  }
  ::close(fd);
  run.outcome = child.Wait();
  return run;
}

void WriteOrRemove(const fs::path& path, bool write, const std::string& bytes) {
  if (!write) {
    fs::remove(path);
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.flush()) << "cannot write " << path;
}

class GoldenFileTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFileTest, MatchesTheExpectedFiles) {
  const GoldenCase& c = GetParam();
  ASSERT_FALSE(c.input.empty()) << "cases.txt: the line of " << c.name << " does not parse";
  TempDir dir;
  fs::copy_file(GoldenDir() / c.input, dir.path() / c.input);
  const GoldenRun run = c.how == How::kStop ? RunStopCase(c, dir) : RunCase(c, dir);
  ASSERT_EQ(run.outcome.signal, 0) << "stl2hzm ended by a signal";

  const fs::path expected_map = GoldenDir() / (c.name + ".hzm");
  const fs::path expected_err = GoldenDir() / (c.name + ".err");
  if (Regenerating()) {
    WriteOrRemove(expected_map, run.has_output, run.output);
    WriteOrRemove(expected_err, !run.outcome.err.empty(), run.outcome.err);
    for (const std::string& f : c.further) {
      const bool made = fs::exists(dir.File(f));
      WriteOrRemove(GoldenDir() / (c.name + "." + f), made, made ? ReadFileBytes(dir.File(f)) : "");
    }
    // The exit status is the manifest's; a changed one is for a person to judge.
    EXPECT_EQ(run.outcome.exit_code, c.exit_code) << "edit cases.txt if this is right";
    GTEST_SKIP() << "regenerated " << expected_map << " and " << expected_err;
  }

  EXPECT_EQ(run.outcome.exit_code, c.exit_code) << run.outcome.err;
  const std::string err = fs::exists(expected_err) ? ReadFileBytes(expected_err) : "";
  EXPECT_EQ(run.outcome.err, err);
  EXPECT_EQ(run.outcome.out, "") << "stl2hzm writes nothing to stdout";
  // Nothing is left beside the input but the map (or the pipe it went to):
  // no temporary file, and no map at all after an error.
  std::vector<std::string> names{c.input};
  if (fs::exists(expected_map) || c.how == How::kStop) names.push_back(OutputNameOf(c.input));
  for (const std::string& f : c.further) {
    if (!fs::exists(expected_map)) break;  // a failed run writes none of them
    names.push_back(f);
    EXPECT_TRUE(SameOutput(dir.File(f), GoldenDir() / (c.name + "." + f)));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(ListFolder(dir.path()), names);
  if (!fs::exists(expected_map)) {
    EXPECT_FALSE(run.has_output) << "the case expects no height map";
    return;
  }
  ASSERT_TRUE(run.has_output) << "no height map written";
  const std::string expected = ReadFileBytes(expected_map.string());
  EXPECT_TRUE(run.output == expected) << FirstDifference(expected, run.output);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenFileTest, ::testing::ValuesIn(ReadGoldenCases()),
                         [](const auto& info) { return info.param.name; });

// Every file of the folder belongs to a case (or is the manifest, the
// notes): an expected file whose case was renamed would otherwise lie there
// unchecked. Every input exists, and every case that succeeds has its map.
TEST(GoldenManifestTest, EveryGoldenFileBelongsToACase) {
  if (Regenerating()) GTEST_SKIP() << "the expected files are being written";
  const std::vector<GoldenCase> cases = ReadGoldenCases();
  ASSERT_GE(cases.size(), 6u) << ManifestPath();
  std::vector<std::string> known{".gitattributes", "README.md", "cases.txt"};
  for (const GoldenCase& c : cases) {
    EXPECT_TRUE(fs::exists(GoldenDir() / c.input)) << c.name << ": no input " << c.input;
    if (c.exit_code == 0) {
      EXPECT_TRUE(fs::exists(GoldenDir() / (c.name + ".hzm"))) << c.name << ": no expected map";
    }
    known.insert(known.end(), {c.input, c.name + ".hzm", c.name + ".err"});
    for (const std::string& f : c.further) known.push_back(c.name + "." + f);
  }
  for (const std::string& name : ListFolder(GoldenDir())) {
    EXPECT_TRUE(std::find(known.begin(), known.end(), name) != known.end())
        << name << " belongs to no case of cases.txt";
  }
}

}  // namespace
}  // namespace pelmoro::testing

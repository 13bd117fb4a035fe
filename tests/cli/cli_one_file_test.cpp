// Outputs compared by the file they name: two outputs of one run, or an
// output and the input, that are one file are refused before anything is
// read, naming both spellings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"
#include "tests/support/test_support.h"

namespace pelmoro::testing {
namespace {

using Names = std::vector<std::string>;

struct OneFileCase {
  const char* label;
  std::vector<std::string> args;  // run in a folder holding in/part.stl and out/
  std::string message;            // after "stl2hzm: "
};

void PrintTo(const OneFileCase& c, std::ostream* os) { *os << c.label; }

// The folder every case starts from: in/part.stl, out/old.png (an earlier
// file), and links: old-link.png to out/old.png, new-link.png to the file
// out/new.png that does not exist yet, hard.png a hard link of
// out/old.png, model.hzm a link to the input and copy.hzm a hard link of
// it.
void MakeFolder(TempDir& dir) {
  std::filesystem::create_directories(dir.File("in"));
  std::filesystem::create_directories(dir.File("out"));
  dir.Write("in/part.stl", ReadFileBytes(TestData("worked_example.stl")));
  dir.Write("out/old.png", "earlier");
  ASSERT_EQ(::symlink("out/old.png", dir.File("old-link.png").c_str()), 0);
  ASSERT_EQ(::symlink("out/new.png", dir.File("new-link.png").c_str()), 0);
  ASSERT_EQ(::link(dir.File("out/old.png").c_str(), dir.File("hard.png").c_str()), 0);
  ASSERT_EQ(::symlink("in/part.stl", dir.File("model.hzm").c_str()), 0);
  ASSERT_EQ(::link(dir.File("in/part.stl").c_str(), dir.File("copy.hzm").c_str()), 0);
}

class CliOneFileTest : public ::testing::TestWithParam<OneFileCase> {};

TEST_P(CliOneFileTest, RefusedBeforeAnythingIsRead) {
  TempDir dir;
  MakeFolder(dir);
  const Names before = ListFolder(dir.path());
  std::vector<std::string> args = GetParam().args;
  args.push_back("in/part.stl");
  const Outcome r = RunStl2hzm({args, dir.path().string()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "stl2hzm: " + GetParam().message + "\nTry 'stl2hzm --help' for more information.\n");
  EXPECT_EQ(ListFolder(dir.path()), before);
  EXPECT_EQ(ListFolder(dir.File("out")), Names{"old.png"});
  EXPECT_EQ(ReadFileBytes(dir.File("out/old.png")), "earlier");
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, CliOneFileTest,
    ::testing::Values(
        // Two outputs, a file to be made.
        OneFileCase{"NewFileThroughDot",
                    {"--also", "out/s.png", "--preview", "./out/s.png"},
                    "the outputs 'out/s.png' and './out/s.png' are one file"},
        OneFileCase{"NewFileThroughDotDot",
                    {"-o", "out/s.png", "--also", "in/../out/s.png"},
                    "the outputs 'out/s.png' and 'in/../out/s.png' are one file"},
        OneFileCase{"NewFileThroughALink",
                    {"--also", "new-link.png", "--also", "out/new.png"},
                    "the outputs 'new-link.png' and 'out/new.png' are one file"},
        // Two outputs, an earlier file.
        OneFileCase{"EarlierFileThroughALink",
                    {"-o", "out/old.png", "--preview", "old-link.png"},
                    "the outputs 'out/old.png' and 'old-link.png' are one file"},
        OneFileCase{"EarlierFileThroughAHardLink",
                    {"--also", "hard.png", "--also", "out/./old.png"},
                    "the outputs 'hard.png' and 'out/./old.png' are one file"},
        // An output that is the input.
        OneFileCase{"InputThroughDot",
                    {"--format", "hzm", "-o", "./in/part.stl"},
                    "the output './in/part.stl' and the input 'in/part.stl' are one file"},
        OneFileCase{"InputThroughDotDot",
                    {"--format", "hzm", "-o", "out/../in/part.stl"},
                    "the output 'out/../in/part.stl' and the input 'in/part.stl' are one file"},
        OneFileCase{"InputThroughALink",
                    {"-o", "model.hzm"},
                    "the output 'model.hzm' and the input 'in/part.stl' are one file"},
        OneFileCase{"InputThroughAHardLink",
                    {"--also", "copy.hzm"},
                    "the output 'copy.hzm' and the input 'in/part.stl' are one file"}),
    [](const auto& info) { return std::string(info.param.label); });

// Different files stay allowed: one name in two folders, a link's own
// folder, and standard input with the map on standard output.
TEST(CliOneFileTest, DifferentFilesAreWritten) {
  TempDir dir;
  MakeFolder(dir);
  const Outcome r =
      RunStl2hzm({{"-q", "--pitch", "1", "-o", "s.png", "--also", "out/s.png", "in/part.stl"},
                  dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ListFolder(dir.File("out")), (Names{"old.png", "s.png"}));
  Launch piped({"-q", "--pitch", "1", "-"}, dir.path().string());
  piped.stdin_file = dir.File("in/part.stl");
  const Outcome p = RunStl2hzm(piped);
  EXPECT_EQ(p.exit_code, 0) << p.err;
  EXPECT_EQ(p.out, ReadFileBytes(TestData("worked_example.hzm")));
}

}  // namespace
}  // namespace pelmoro::testing

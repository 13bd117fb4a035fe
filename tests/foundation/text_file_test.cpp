// Reading text files through ReadTextBytes: the reference line reader over
// them (line splitting, Ctrl-Z), the size in blocks, and the position that
// a reader working through a 128-byte buffer would show.
#include "foundation/text_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/block_reader.h"
#include "tests/support/reference_line_reader.h"
#include "tests/support/test_support.h"

namespace pelmoro {
namespace {

using testing::BlockReader;
using testing::ReferenceLineReader;
using testing::TempDir;

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

// Every line of the file, read the way callers do: AtEnd before each line.
std::vector<std::string> ReadAll(const std::string& path, std::size_t chunk, bool by_view) {
  TextFile file;
  OpenTextForReading(file, path);
  ReferenceLineReader reader(file, chunk);
  std::vector<std::string> lines;
  while (!reader.AtEnd()) {
    lines.emplace_back(by_view ? std::string(reader.ReadLineView()) : reader.ReadLine());
  }
  CloseText(file);
  return lines;
}

void ExpectLines(const std::vector<LineCase>& cases, std::size_t chunk) {
  TempDir dir;
  for (const LineCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
    const std::string path = dir.Write("in.txt", c.bytes);
    EXPECT_EQ(ReadAll(path, chunk, true), c.lines);
    EXPECT_EQ(ReadAll(path, chunk, false), c.lines);
    EXPECT_EQ(PendingIoCode(), 0);
  }
}

TEST(TextFileRead, SplitsLines) {
  const std::string x300(300, 'x');
  const std::vector<LineCase> cases = {
      {"lf", "ab\ncd\n", {"ab", "cd"}},
      {"crlf", "ab\r\ncd\r\n", {"ab", "cd"}},
      {"lone_cr_ends_line", "ab\rcd\n", {"ab", "cd"}},
      {"mixed", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
      {"cr_cr_lf", "a\r\r\nb", {"a", "", "b"}},
      {"lf_cr", "a\n\rb", {"a", "", "b"}},
      {"empty_lines", "\n\nx\n\n", {"", "", "x", ""}},
      {"only_crlf_pairs", "\r\n\r\n\r\n", {"", "", ""}},
      {"no_final_terminator", "ab\ncd", {"ab", "cd"}},
      {"final_lone_cr", "ab\r", {"ab"}},
      {"empty_file", "", {}},
      {"ctrl_z_at_line_start_ends_input",
       "ab\n\x1A"
       "cd\n",
       {"ab"}},
      {"ctrl_z_as_first_byte",
       "\x1A"
       "ab\n",
       {}},
      {"ctrl_z_inside_line_kept",
       "a\x1A"
       "b\n\x1A",
       {"a\x1A"
        "b"}},
      {"nul_byte_kept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
      {"line_longer_than_small_buffer", x300 + "\r\n" + x300, {x300, x300}},
  };
  ExpectLines(cases, 128);
  ExpectLines(cases, kTextReadChunk);
}

// Files whose terminators fall on the edge of a buffer fill of chunk bytes.
std::vector<LineCase> BoundaryCases(std::size_t chunk) {
  const std::string x(chunk - 1, 'x');
  const std::string wide(2 * chunk + 10, 'w');
  return {
      {"lf_ends_fill", x + "\nnext\n", {x, "next"}},
      {"crlf_split_by_refill", x + "\r\nnext", {x, "next"}},
      {"lone_cr_ends_fill", x + "\rnext", {x, "next"}},
      {"cr_is_last_byte", x + "\r", {x}},
      {"line_spans_three_fills", wide + "\r\nz", {wide, "z"}},
      {"unterminated_line_spans_fills", wide, {wide}},
      {"ctrl_z_opens_next_fill",
       x + "\n\x1A"
           "rest\n",
       {x}},
      {"empty_line_after_refill", x + "\n\r\nlast", {x, "", "last"}},
  };
}

TEST(TextFileRead, LinesAcrossBufferRefills) {
  ExpectLines(BoundaryCases(128), 128);
  ExpectLines(BoundaryCases(kTextReadChunk), kTextReadChunk);
}

TEST(TextFileRead, ViewOfSpanningLineSurvivesRefill) {
  TempDir dir;
  const std::string a(200, 'a');
  TextFile file;
  OpenTextForReading(file, dir.Write("in.txt", a + "\r" + "b\n"));
  ReferenceLineReader reader(file, 128);
  const std::string_view first = reader.ReadLineView();
  EXPECT_EQ(first, a);
  EXPECT_EQ(reader.ReadLineView(), "b");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(TextFileBlocks, SmallFileStaysAtZero) {
  TempDir dir;
  TextFile file;
  OpenTextForReading(file, dir.Write("in.txt", std::string(60, 'a') + "\r\n" + "b\r\n"));
  EXPECT_EQ(TextSizeInBlocks(file), 0);
  ReferenceLineReader reader(file);
  std::vector<std::int64_t> positions{reader.PositionInBlocks()};
  while (!reader.AtEnd()) {
    reader.ReadLine();
    positions.push_back(reader.PositionInBlocks());
  }
  EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 0, 0}));
}

TEST(TextFileBlocks, ThreeHundredByteFileStepsByBlock) {
  // Lines end at bytes 62, 200 and 300, so each block is taken by its own line.
  const std::string bytes = std::string(60, 'a') + "\r\n" + std::string(136, 'b') + "\r\n" +
                            std::string(98, 'c') + "\r\n";
  ASSERT_EQ(bytes.size(), 300u);
  TempDir dir;
  TextFile file;
  OpenTextForReading(file, dir.Write("in.txt", bytes));
  EXPECT_EQ(TextSizeInBlocks(file), 2);
  ReferenceLineReader reader(file);
  std::vector<std::int64_t> positions{reader.PositionInBlocks()};
  while (!reader.AtEnd()) {
    reader.ReadLine();
    positions.push_back(reader.PositionInBlocks());
  }
  EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 1, 2, 2}));
}

// Raw bytes: a regular file gives as many as asked until its end, and the
// position counts whole blocks of what has been taken.
TEST(TextFileBlocks, BytesTakenSetThePosition) {
  TempDir dir;
  std::string bytes(300, 'a');
  bytes[150] = '\n';  // line ends mean nothing to a raw read
  TextFile file;
  OpenTextForReading(file, dir.Write("in.txt", bytes));
  std::vector<char> into(120);
  std::string got;
  std::vector<std::int64_t> positions{TextPositionInBlocks(file)};
  for (std::size_t n; (n = ReadTextBytes(file, into.data(), into.size())) > 0;) {
    got.append(into.data(), n);
    positions.push_back(TextPositionInBlocks(file));
  }
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 0, 1, 2}));
  EXPECT_EQ(ReadTextBytes(file, into.data(), into.size()), 0u);  // the end stays the end
  EXPECT_EQ(TextPositionInBlocks(file), 2);
  EXPECT_EQ(PendingIoCode(), 0);
}

std::string RandomText(std::mt19937& rng) {
  static const char* const kEnds[] = {"\n", "\r\n", "\r"};
  const std::string alphabet = std::string("abc xyz019.-\t\x1A") + '\0';
  std::uniform_int_distribution<int> pick(0, 99);
  std::string text;
  const int lines = pick(rng) * 3;
  for (int i = 0; i < lines; ++i) {
    const int length = pick(rng) < 10 ? pick(rng) * 40 : pick(rng) * 2;
    for (int k = 0; k < length; ++k) {
      // Ctrl-Z and byte 0 are rare, so that most files are read to their end.
      const std::size_t limit = pick(rng) < 2 ? alphabet.size() : alphabet.size() - 2;
      text += alphabet[static_cast<std::size_t>(pick(rng)) % limit];
    }
    if (i + 1 < lines || pick(rng) < 70) text += kEnds[pick(rng) % 3];
  }
  return text;
}

// Lines, end checks and positions agree with the 128-byte reader after every
// step, for random files, buffer sizes, and callers that sometimes skip the
// end check.
TEST(TextFileBlocks, PositionsMatchBlockReader) {
  TempDir dir;
  const std::size_t chunks[] = {128, 384, 1024, kTextReadChunk};
  for (unsigned seed = 1; seed <= 120; ++seed) {
    std::mt19937 rng(seed);
    const std::string text = RandomText(rng);
    const std::size_t chunk = chunks[seed % 4];
    SCOPED_TRACE("seed " + std::to_string(seed) + " chunk " + std::to_string(chunk));
    const std::string path = dir.Write("in.txt", text);
    BlockReader ref(path);
    TextFile file;
    OpenTextForReading(file, path);
    ReferenceLineReader reader(file, chunk);
    ASSERT_EQ(TextSizeInBlocks(file), static_cast<std::int64_t>(text.size() / 128));
    ASSERT_EQ(reader.PositionInBlocks(), 0);
    const auto terminators =
        std::count_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; });
    for (long step = 0; step < terminators + 2; ++step) {
      if (rng() % 4 != 0) {
        ASSERT_EQ(reader.AtEnd(), ref.AtEnd()) << "step " << step;
        ASSERT_EQ(reader.PositionInBlocks(), ref.Position()) << "step " << step;
      }
      ASSERT_EQ(reader.ReadLineView(), ref.ReadLine()) << "step " << step;
      ASSERT_EQ(reader.PositionInBlocks(), ref.Position()) << "step " << step;
    }
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.PositionInBlocks(), static_cast<std::int64_t>(text.size() / 128));
    EXPECT_EQ(PendingIoCode(), 0);
  }
}

struct BlocksTakenCase {
  const char* name;
  std::uint64_t end, size;
  std::int64_t blocks;
};

class BlocksTakenTest : public ::testing::TestWithParam<BlocksTakenCase> {};

TEST_P(BlocksTakenTest, RoundsUpWithinTheFile) {
  EXPECT_EQ(BlocksTaken(GetParam().end, GetParam().size), GetParam().blocks);
}

// A reader that has looked at byte n - 1 holds the whole block around it;
// the last, partial block of a file is never counted.
INSTANTIATE_TEST_SUITE_P(
    Ends, BlocksTakenTest,
    ::testing::Values(BlocksTakenCase{"NothingLookedAt", 0, 1000, 0},
                      BlocksTakenCase{"FirstByte", 1, 1000, 1},
                      BlocksTakenCase{"WholeFirstBlock", 128, 1000, 1},
                      BlocksTakenCase{"OneIntoTheSecond", 129, 1000, 2},
                      BlocksTakenCase{"IntoThePartialLast", 999, 1000, 7},
                      BlocksTakenCase{"WholeFile", 1024, 1024, 8},
                      BlocksTakenCase{"FileUnderABlock", 100, 100, 0},
                      BlocksTakenCase{"Stream", 5000, 0, 0},
                      BlocksTakenCase{"BeyondFourGiB", (std::uint64_t{1} << 32) + 1,
                                      std::uint64_t{1} << 40, (std::int64_t{1} << 25) + 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextFileRead, PipeReadToItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  TextFile file;
  // Opened while the writer is still there, so that opening does not wait.
  OpenTextForReading(file, "/proc/self/fd/" + std::to_string(fds[0]));
  ::close(fds[0]);
  ASSERT_EQ(file.mode(), TextMode::kReading);
  ReferenceLineReader reader(file, 128);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
  std::thread writer([&] {
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t put =
          ::write(fds[1], text.data() + done, std::min<std::size_t>(1000, text.size() - done));
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
    ::close(fds[1]);  // the writer goes: the reader sees the end, not an error
  });
  int count = 0;
  while (!reader.AtEnd()) {
    EXPECT_EQ(reader.ReadLine(), "line " + std::to_string(count));
    ++count;
  }
  writer.join();
  EXPECT_EQ(count, 20000);
  EXPECT_EQ(PendingIoCode(), 0);
  EXPECT_EQ(TextSizeInBlocks(file), static_cast<std::int64_t>(text.size() / 128));
  CloseText(file);
  EXPECT_EQ(PendingIoCode(), 0);
}

}  // namespace
}  // namespace pelmoro

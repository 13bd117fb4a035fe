// The reference line reader with small read chunks against the 128-byte
// reader that defines it: the same lines, end checks and positions in blocks after every
// step. Input: a byte choosing the chunk (128 to 512 bytes), a byte whose
// bits skip the end check at some steps (callers may), then the file.
#include <algorithm>
#include <cstdint>
#include <string>

#include "foundation/text_file.h"
#include "tests/support/block_reader.h"
#include "tests/support/fuzz_support.h"
#include "tests/support/reference_line_reader.h"

namespace pelmoro {
namespace {

using testing::BlockReader;
using testing::FuzzCheck;

void CompareReaders(const testing::MemoryFile& input, std::string_view text, std::size_t chunk,
                    unsigned skip_mask) {
  BlockReader reference(input.path());
  TextFile file;
  OpenTextForReading(file, input.path());
  FuzzCheck(PendingIoCode() == 0 && file.mode() == TextMode::kReading, "open for reading");
  testing::ReferenceLineReader reader(file, chunk);
  FuzzCheck(TextSizeInBlocks(file) == static_cast<std::int64_t>(text.size() / kTextBlock),
            "size in blocks");
  FuzzCheck(reader.PositionInBlocks() == 0, "position before the first line");
  const auto terminators =
      std::count_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; });
  for (long step = 0; step < terminators + 2; ++step) {
    if ((skip_mask >> (step % 8) & 1) == 0) {
      FuzzCheck(reader.AtEnd() == reference.AtEnd(), "end check");
      FuzzCheck(reader.PositionInBlocks() == reference.Position(), "position after end check");
    }
    FuzzCheck(reader.ReadLineView() == reference.ReadLine(), "line");
    FuzzCheck(reader.PositionInBlocks() == reference.Position(), "position after line");
  }
  FuzzCheck(reader.AtEnd() && reference.AtEnd(), "end after the last line");
  FuzzCheck(reader.PositionInBlocks() == reference.Position(), "position at the end");
  CloseText(file);
  FuzzCheck(PendingIoCode() == 0, "no I/O code pending");
}

}  // namespace
}  // namespace pelmoro

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static pelmoro::testing::MemoryFile input;
  const std::string_view text = pelmoro::testing::AsText(data + 2, size - 2);
  input.Fill(text);
  const std::size_t chunk = pelmoro::kTextBlock * (1 + data[0] % 4u);
  pelmoro::CompareReaders(input, text, chunk, data[1]);
  return 0;
}

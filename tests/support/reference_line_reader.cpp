#include "tests/support/reference_line_reader.h"

#include <algorithm>
#include <cstring>

namespace pelmoro::testing {

namespace {
constexpr char kLf = 10;
constexpr char kCr = 13;
constexpr char kCtrlZ = 26;
constexpr std::size_t kNotSearched = std::string::npos;
}  // namespace

ReferenceLineReader::ReferenceLineReader(TextFile& file, std::size_t chunk)
    : file_(file),
      buffer_(
          std::max<std::size_t>((chunk + kTextBlock - 1) / kTextBlock * kTextBlock, kTextBlock)),
      lf_at_(kNotSearched),
      cr_at_(kNotSearched) {}

// Replaces the consumed buffer with the next chunk. False when no byte came
// (or the file is not open for reading: ReadTextBytes leaves the code).
bool ReferenceLineReader::Fill() {
  begin_ = 0;
  lf_at_ = cr_at_ = kNotSearched;
  end_ = ReadTextBytes(file_, buffer_.data(), buffer_.size());
  delivered_ += end_;
  return end_ > 0;
}

void ReferenceLineReader::Examine(std::uint64_t bytes) { examined_ = std::max(examined_, bytes); }

// Buffer index of the next c at or after begin_, end_ when there is none.
std::size_t ReferenceLineReader::Next(char c, std::size_t& cache) const {
  if (cache == kNotSearched || cache < begin_) {
    const void* hit = std::memchr(buffer_.data() + begin_, c, end_ - begin_);
    cache = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - buffer_.data()) : end_;
  }
  return cache;
}

bool ReferenceLineReader::AtEnd() {
  // At the end every byte delivered has been looked at already, so the look
  // past the last one takes no further block.
  if (begin_ == end_ && !Fill()) return true;
  Examine(OffsetAfter(begin_));
  return buffer_[begin_] == kCtrlZ;
}

bool ReferenceLineReader::EndedAtCtrlZ() const {
  return begin_ < end_ && buffer_[begin_] == kCtrlZ;
}

std::uint64_t ReferenceLineReader::BytesAfterCtrlZ() {
  if (!EndedAtCtrlZ()) return 0;
  const std::uint64_t ctrl_z_at = delivered_ - (end_ - begin_);
  if (file_.is_regular()) {
    const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(TextSizeInBytes(file_), 0));
    return size > ctrl_z_at + 1 ? size - ctrl_z_at - 1 : 0;
  }
  // A pipe cannot tell its size: what is left is read, and only counted.
  std::uint64_t bytes = end_ - begin_ - 1;
  std::vector<char> scratch(kTextReadChunk);
  for (std::size_t got; (got = ReadTextBytes(file_, scratch.data(), scratch.size())) > 0;) {
    bytes += got;
  }
  return bytes;
}

std::string_view ReferenceLineReader::ReadLineView() {
  line_.clear();
  bool spanned = false;  // the line began in an earlier chunk and is held in line_
  for (;;) {
    if (begin_ == end_ && !Fill()) return line_;
    const std::size_t start = begin_;
    const std::size_t stop = std::min(Next(kLf, lf_at_), Next(kCr, cr_at_));
    const char* data = buffer_.data();
    if (stop == end_) {  // no terminator in this chunk
      line_.append(data + start, stop - start);
      spanned = true;
      begin_ = end_;
      Examine(delivered_);
      continue;
    }
    begin_ = stop + 1;
    Examine(OffsetAfter(stop));
    std::string_view line(data + start, stop - start);
    if (spanned) line = line_.append(line);
    if (data[stop] == kCr) line = SkipLfAfterCr(line, spanned);
    return line;
  }
}

// A line ended by CR: an LF right after it belongs to the same line end.
// Looking at that byte may need the next chunk, which replaces the buffer
// that line may point into.
std::string_view ReferenceLineReader::SkipLfAfterCr(std::string_view line, bool spanned) {
  if (begin_ == end_) {
    if (!spanned) line_.assign(line);
    line = line_;
    if (!Fill()) return line;
  }
  Examine(OffsetAfter(begin_));
  if (buffer_[begin_] == kLf) ++begin_;
  return line;
}

std::int64_t ReferenceLineReader::PositionInBlocks() const {
  const std::uint64_t looked_at = (examined_ + kTextBlock - 1) / kTextBlock * kTextBlock;
  return static_cast<std::int64_t>(std::min(looked_at, delivered_) / kTextBlock);
}

}  // namespace pelmoro::testing

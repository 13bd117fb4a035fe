#include "outputs/formats/tiff_scratch.h"

#include <algorithm>
#include <cstdio>

#include "foundation/errors.h"

namespace pelmoro {

namespace {
constexpr std::size_t kCopyBytes = std::size_t{1} << 20;
}  // namespace

void TiffScratch::Append(std::string_view bytes) {
  if (!spill_.is_open()) spill_.Open(near_);
  spill_.Append(bytes);
}

std::int64_t TiffScratch::Write(const char* bytes, std::uint64_t count) noexcept {
  try {
    std::uint64_t done = 0;
    // Below the end: a patch over what is there.
    if (position_ < end_) {
      done = std::min(count, end_ - position_);
      patches_.push_back({position_, std::string(bytes, done)});
    }
    // Past the end: the gap reads as zeros, as in any file.
    if (done < count && position_ > end_) {
      const std::string zeros(static_cast<std::size_t>(position_ - end_), '\0');
      Append(zeros);
      end_ = position_;
    }
    if (done < count) {
      Append(std::string_view(bytes + done, static_cast<std::size_t>(count - done)));
      end_ += count - done;
    }
    position_ += count;
    return static_cast<std::int64_t>(count);
  } catch (...) {
    if (!failure_) failure_ = std::current_exception();
    return -1;
  }
}

void TiffScratch::ReadBack(std::uint64_t offset, char* into, std::size_t count) {
  const std::uint64_t held = spill_.size();
  if (offset < held) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, held - offset));
    spill_.Flush();
    spill_.ReadAt(offset, into, n);
  }
  for (const Patch& patch : patches_) {
    const std::uint64_t from = std::max(offset, patch.offset);
    const std::uint64_t to = std::min(offset + count, patch.offset + patch.bytes.size());
    if (from >= to) continue;
    std::copy_n(patch.bytes.data() + (from - patch.offset), to - from, into + (from - offset));
  }
}

std::int64_t TiffScratch::Read(char* into, std::uint64_t count) noexcept {
  try {
    const std::uint64_t n = position_ >= end_ ? 0 : std::min(count, end_ - position_);
    ReadBack(position_, into, static_cast<std::size_t>(n));
    position_ += n;
    return static_cast<std::int64_t>(n);
  } catch (...) {
    if (!failure_) failure_ = std::current_exception();
    return -1;
  }
}

std::uint64_t TiffScratch::Seek(std::int64_t offset, int whence) noexcept {
  std::int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<std::int64_t>(position_);
  if (whence == SEEK_END) base = static_cast<std::int64_t>(end_);
  const std::int64_t at = base + offset;
  if (at < 0) return static_cast<std::uint64_t>(-1);
  position_ = static_cast<std::uint64_t>(at);
  return position_;
}

void TiffScratch::Rethrow() const {
  if (failure_) std::rethrow_exception(failure_);
}

void TiffScratch::CopyTo(TextFile& out) {
  Rethrow();
  std::string chunk;
  for (std::uint64_t at = 0; at < end_;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBytes, end_ - at));
    chunk.resize(n);
    ReadBack(at, chunk.data(), n);
    PutText(out, chunk);
    CheckIoResult();
    at += n;
  }
}

}  // namespace pelmoro

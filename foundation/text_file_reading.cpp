#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "foundation/text_file.h"
#include "foundation/text_file_access.h"

namespace pelmoro {

// Reads up to want bytes into `into`, counting them as delivered. False when
// no byte came: the end of the data, a broken pipe, or a failed read (code
// pending). A regular file is read until want bytes have come, so that
// every read but the last ends where it was asked to; a pipe or terminal
// gives what it has.
std::size_t TextFileAccess::ReadInto(TextFile& f, char* into, std::size_t want) {
  std::size_t got_total = 0;
  while (got_total < want && !f.at_physical_end_) {
    // Asked before the read too: a signal just before it would not end it.
    if (!f.is_regular_ && GiveUpAfterInterruption(InterruptedCall::kRead)) {
      f.at_physical_end_ = f.given_up_ = true;  // the front end ends the reading here
      break;
    }
    const ssize_t got = ::read(f.fd_, into + got_total, want - got_total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EPIPE) SetPendingIoFailure(IoOperation::kRead, errno, f.name_);
    if (got <= 0) {
      f.at_physical_end_ = true;
      break;
    }
    got_total += static_cast<std::size_t>(got);
    f.delivered_ += static_cast<std::uint64_t>(got);
    if (!f.is_regular_) break;
  }
  return got_total;
}

// Replaces the consumed buffer with the next chunk. False when no byte came.
bool TextFileAccess::Fill(TextFile& f) {
  if (f.at_physical_end_) return false;
  f.begin_ = f.end_ = 0;
  f.lf_at_ = f.cr_at_ = kNotSearched;
  f.end_ = ReadInto(f, f.buffer_.data(), f.buffer_.size());
  return f.end_ > 0;
}

std::size_t TextFileAccess::ReadBytes(TextFile& file, char* into, std::size_t want) {
  if (!Usable(file, TextMode::kReading)) return 0;
  std::size_t done = 0;
  if (file.begin_ < file.end_) {  // what the buffer holds comes first
    done = std::min(want, file.end_ - file.begin_);
    std::memcpy(into, file.buffer_.data() + file.begin_, done);
    file.begin_ += done;
  }
  done += ReadInto(file, into + done, want - done);
  Examine(file, file.delivered_ - (file.end_ - file.begin_));
  return done;
}

// Buffer index of the next c at or after begin_, end_ when there is none.
std::size_t TextFileAccess::Next(const TextFile& f, char c, std::size_t& cache) {
  if (cache == kNotSearched || cache < f.begin_) {
    const void* hit = std::memchr(f.buffer_.data() + f.begin_, c, f.end_ - f.begin_);
    cache =
        hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - f.buffer_.data()) : f.end_;
  }
  return cache;
}

bool TextFileAccess::AtEnd(TextFile& file) {
  if (!Usable(file, TextMode::kReading)) return true;
  // At the end every byte delivered has been looked at already, so the look
  // past the last one takes no further block.
  if (file.begin_ == file.end_ && !Fill(file)) return true;
  Examine(file, OffsetAfter(file, file.begin_));
  return file.buffer_[file.begin_] == kCtrlZ;
}

bool TextFileAccess::EndedAtCtrlZ(const TextFile& file) {
  return file.mode_ == TextMode::kReading && file.begin_ < file.end_ &&
         file.buffer_[file.begin_] == kCtrlZ;
}

std::uint64_t TextFileAccess::BytesAfterCtrlZ(TextFile& file) {
  if (!EndedAtCtrlZ(file)) return 0;
  const std::uint64_t ctrl_z_at = file.delivered_ - (file.end_ - file.begin_);
  if (file.is_regular_) {
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0) {
      SetPendingIoFailure(IoOperation::kRead, errno, file.name_);
      return 0;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    return size > ctrl_z_at + 1 ? size - ctrl_z_at - 1 : 0;
  }
  // A pipe cannot tell its size: what is left is read, and only counted.
  std::uint64_t bytes = file.end_ - file.begin_ - 1;
  std::vector<char> scratch(kTextReadChunk);
  while (!file.at_physical_end_) {
    const ssize_t got = ::read(file.fd_, scratch.data(), scratch.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EPIPE) SetPendingIoFailure(IoOperation::kRead, errno, file.name_);
    if (got <= 0) break;
    bytes += static_cast<std::uint64_t>(got);
  }
  return bytes;
}

std::string_view TextFileAccess::TakeLine(TextFile& f) {
  f.line_.clear();
  bool spanned = false;  // the line began in an earlier fill and is held in line_
  for (;;) {
    if (f.begin_ == f.end_ && !Fill(f)) return f.line_;
    const std::size_t start = f.begin_;
    const std::size_t stop = std::min(Next(f, kLf, f.lf_at_), Next(f, kCr, f.cr_at_));
    const char* data = f.buffer_.data();
    if (stop == f.end_) {  // no terminator in this fill
      f.line_.append(data + start, stop - start);
      spanned = true;
      f.begin_ = f.end_;
      Examine(f, f.delivered_);
      continue;
    }
    f.begin_ = stop + 1;
    Examine(f, OffsetAfter(f, stop));
    std::string_view line(data + start, stop - start);
    if (spanned) line = f.line_.append(line);
    if (data[stop] == kCr) line = SkipLfAfterCr(f, line, spanned);
    return line;
  }
}

// A line ended by CR: an LF right after it belongs to the same line end.
// Looking at that byte may need the next fill, which replaces the buffer
// that line may point into.
std::string_view TextFileAccess::SkipLfAfterCr(TextFile& f, std::string_view line, bool spanned) {
  if (f.begin_ == f.end_) {
    if (!spanned) f.line_.assign(line);
    line = f.line_;
    if (!Fill(f)) return line;
  }
  Examine(f, OffsetAfter(f, f.begin_));
  if (f.buffer_[f.begin_] == kLf) ++f.begin_;
  return line;
}

std::string_view TextFileAccess::ReadLineView(TextFile& file) {
  if (!Usable(file, TextMode::kReading)) return {};
  return TakeLine(file);
}

std::string ReadTextLine(TextFile& file) { return std::string(ReadTextLineView(file)); }

bool TextAtEnd(TextFile& file) { return TextFileAccess::AtEnd(file); }
bool TextEndedAtCtrlZ(TextFile& file) { return TextFileAccess::EndedAtCtrlZ(file); }
std::uint64_t TextBytesAfterCtrlZ(TextFile& file) { return TextFileAccess::BytesAfterCtrlZ(file); }
std::string_view ReadTextLineView(TextFile& file) { return TextFileAccess::ReadLineView(file); }
std::size_t ReadTextBytes(TextFile& file, char* into, std::size_t bytes) {
  return TextFileAccess::ReadBytes(file, into, bytes);
}

}  // namespace pelmoro

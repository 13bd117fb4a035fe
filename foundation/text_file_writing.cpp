#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <utility>

#include "foundation/disk_flush.h"
#include "foundation/text_file.h"
#include "foundation/text_file_access.h"

namespace pelmoro {

namespace {
// Bytes written between two requests to start writing a file out: every
// megabyte keeps the disk busy while the map is made, so that little is left
// for the final flush (at 8 the disk fell behind a map made at 1 GB/s).
constexpr std::uint64_t kWritebackStep = std::uint64_t{1} << 20;
// Bytes written, at least, between two flushes started on their own thread
// (they run one at a time): small enough that a map of a few megabytes is
// mostly on the disk by its end.
constexpr std::uint64_t kSyncStep = std::uint64_t{1} << 20;
}  // namespace

// Hands the collected bytes to the system, looping over partial writes. On
// failure the code is left pending, the bytes are dropped, and the file
// takes no more bytes.
void TextFileAccess::Flush(TextFile& f) {
  std::size_t done = 0;
  while (done < f.end_) {
    std::size_t put = 0;
    int error = CurrentEnv().Write(f.fd_, f.buffer_.data() + done, f.end_ - done, &put);
    if (error == EINTR && !GiveUpAfterInterruption(InterruptedCall::kWrite)) continue;
    if (error != 0 || put == 0) {
      if (error == 0) error = ENOSPC;  // a write that takes nothing: no room
      SetPendingIoFailure(IoOperation::kWrite, error, f.name_);
      f.write_failed_ = true;
      break;
    }
    done += put;
    f.written_ += put;
  }
  f.end_ = 0;
  // A large file is sent on to the disk as it grows, not all at the end:
  // the disk works while the rest is being made, and the final flush has
  // little left to wait for. Only a start of writeback is asked for; its
  // errors, if any, are those the final flush reports.
  if (f.is_regular_ && !f.write_failed_ && f.written_ - f.writeback_mark_ >= kWritebackStep) {
    CurrentEnv().StartWriteOut(f.fd_);
    f.writeback_mark_ = f.written_;
  }
  if (f.sync_while_writing_ && !f.write_failed_ && f.written_ - f.sync_mark_ >= kSyncStep) {
    StartSync(f);
  }
}

// Starts a flush of what is written so far, unless one is still under way.
// Starting writeback alone leaves the disk's own cache and the file's
// allocation to the final flush, which on a large file then waits for most
// of it.
void TextFileAccess::StartSync(TextFile& f) {
  if (f.syncing_.valid()) {
    if (f.syncing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    FinishSync(f);
    if (f.write_failed_) return;
  }
  // The flush has a descriptor of its own, so that the file may be closed
  // while it runs (its owner then waits for it: TakeTextFlush).
  FileHandle fd = kNoFile;
  if (CurrentEnv().Duplicate(f.fd_, &fd) != 0) return;  // the final flush does it all
  f.sync_mark_ = f.written_;
  f.syncing_ = StartDiskFlush(fd, DiskFlush::kData);
}

std::future<int> TakeTextFlush(TextFile& file) { return std::move(file.syncing_); }

// Waits for the flush under way, if any; its failure is the file's failed
// write, unless a write failed first.
void TextFileAccess::FinishSync(TextFile& f) {
  if (!f.syncing_.valid()) return;
  const int error = f.syncing_.get();
  if (error != 0 && !f.write_failed_) {
    SetPendingIoFailure(IoOperation::kWrite, error, f.name_);
    f.write_failed_ = true;
  }
}

void TextFileAccess::Put(TextFile& file, std::string_view text) {
  if (!Usable(file, TextMode::kWriting)) return;
  const std::size_t capacity = file.buffer_.size();
  while (!text.empty()) {
    const std::size_t n = std::min(capacity - file.end_, text.size());
    std::memcpy(file.buffer_.data() + file.end_, text.data(), n);
    file.end_ += n;
    text.remove_prefix(n);
    if (file.end_ == capacity) {
      Flush(file);
      if (file.write_failed_) return;
    }
  }
}

bool TextFileAccess::TakeBack(TextFile& f, std::uint64_t bytes) {
  if (!Usable(f, TextMode::kWriting)) return false;
  if (bytes >= f.written_) {
    f.end_ = std::min<std::uint64_t>(f.end_, bytes - f.written_);
    return true;
  }
  f.end_ = 0;
  if (!f.is_regular_) return false;
  if (const int error = CurrentEnv().CutFile(f.fd_, bytes); error != 0) {
    SetPendingIoFailure(IoOperation::kWrite, error, f.name_);
    f.write_failed_ = true;
    return false;
  }
  f.written_ = bytes;
  f.writeback_mark_ = std::min(f.writeback_mark_, bytes);
  f.sync_mark_ = std::min(f.sync_mark_, bytes);
  return true;
}

std::uint64_t TextBytesTaken(const TextFile& file) { return TextFileAccess::Taken(file); }
bool TakeTextBackTo(TextFile& file, std::uint64_t bytes) {
  return TextFileAccess::TakeBack(file, bytes);
}

void PutChar(TextFile& file, char c) { PutText(file, std::string_view(&c, 1)); }

void TextFileAccess::EndLine(TextFile& file) {
  PutText(file, "\r\n");
  if (file.mode_ == TextMode::kWriting && file.is_terminal_ && !file.write_failed_ &&
      file.end_ > 0) {
    Flush(file);
  }
}

void WriteTextLine(TextFile& file, std::string_view text) {
  PutText(file, text);
  EndTextLine(file);
}

void PutText(TextFile& file, std::string_view text) { TextFileAccess::Put(file, text); }
void EndTextLine(TextFile& file) { TextFileAccess::EndLine(file); }

}  // namespace pelmoro

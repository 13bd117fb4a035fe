#include "outputs/files/output_file.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

#include "foundation/disk_flush.h"
#include "foundation/errors.h"
#include "outputs/files/output_target.h"

namespace pelmoro {

namespace {

std::future<int> Ready(int value) {
  std::promise<int> promise;
  promise.set_value(value);
  return promise.get_future();
}

// fsync in the background, so the caller can go on with other work (or
// handle its window) while a large file reaches the disk; the future gives
// the errno of a failed fsync, or 0.
std::future<int> StartFlushToDisk(FileHandle file) {
  FileHandle copy = kNoFile;
  if (const int error = CurrentEnv().Duplicate(file, &copy); error != 0) return Ready(error);
  return StartDiskFlush(copy, DiskFlush::kAll);
}

int WaitForDisk(std::future<int>& flushed, const std::function<void()>& while_waiting) {
  if (while_waiting) {
    try {
      while (flushed.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        while_waiting();
      }
    } catch (...) {
      flushed.wait();  // the descriptor is the thread's until fsync returns
      throw;
    }
  }
  return flushed.get();
}

FileHandle Duplicate(FileHandle file, const std::string& target) {
  FileHandle copy = kNoFile;
  if (const int error = CurrentEnv().Duplicate(file, &copy); error != 0) {
    throw IoErrorFromErrno(IoOperation::kCreate, error, target);
  }
  return copy;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Create(const std::string& target) {
  Abandon();
  target_ = target;
  const OutputTarget resolved = ResolveOutputTarget(target);
  open_ = true;  // from here on, whatever fails is abandoned
  switch (resolved.kind) {
    case OutputKind::kDescriptor:
      AttachDuplicate(resolved.descriptor);
      break;
    case OutputKind::kDevice:
      // Devices and pipes cannot be replaced by a file; they take the text
      // as it comes (the text layer writes character devices out at line
      // ends).
      CreateTextForWriting(text_, target_);
      break;
    case OutputKind::kFile:
      CreateReplacement(resolved);
      break;
  }
  open_ = true;
  Fail(PendingIoCode(), PendingIoFailure());
}

void OutputFile::CreateOnStream(int stream, const std::string& name) {
  Abandon();
  target_ = name;
  AttachDuplicate(CurrentEnv().StandardStream(stream));
  open_ = true;
  Fail(PendingIoCode(), PendingIoFailure());
}

// The shell's file, pipe or terminal, with its offset and append flag:
// writing through the same open file keeps what came before and after.
void OutputFile::AttachDuplicate(FileHandle file) {
  file_ = Duplicate(file, target_);
  AttachTextForWriting(text_, Duplicate(file, target_), target_);
}

void OutputFile::CreateReplacement(const OutputTarget& resolved) {
  if (const int error = CurrentEnv().CreateReplacement(resolved, &replacement_); error != 0) {
    const std::string& name = replacement_.refused.empty() ? target_ : replacement_.refused;
    throw IoErrorFromErrno(IoOperation::kCreate, error, name);
  }
  replaced_ = true;
  file_ = replacement_.file;
  AttachTextForWriting(text_, Duplicate(file_, target_), target_);
  SyncTextWhileWriting(text_);  // it is flushed before it takes its name
}

std::optional<SpaceClaim> OutputFile::ClaimSpace(std::uint64_t bytes) const {
  if (!open_) return std::nullopt;
  std::optional<SpaceClaim> claim = ClaimSpaceOn(file_, bytes, target_);
  // Written over a shell's file, bytes before its end need no new room.
  if (claim && !replaced_) claim->bytes -= std::min(claim->bytes, CurrentEnv().BytesAhead(file_));
  return claim;
}

void OutputFile::Commit(const std::function<void()>& while_waiting) {
  Flush(while_waiting);
  Publish();
}

void OutputFile::StartFlush() {
  if (!open_ || flushed_ || closed_) return;
  // The flush the text started as it grew may still be under way: it is
  // waited for with the final one, not by the close.
  grown_ = TakeTextFlush(text_);
  CloseText(text_);
  closed_ = true;
  Fail(PendingIoCode(), PendingIoFailure());
  // The data must be on the disk before the name points at it, or a crash
  // right after could leave an empty target.
  if (replaced_) on_disk_ = StartFlushToDisk(file_);
}

void OutputFile::Flush(const std::function<void()>& while_waiting) {
  if (!open_ || flushed_) return;
  StartFlush();
  int error = 0;
  for (std::future<int>* flushing : {&grown_, &on_disk_}) {
    if (!flushing->valid()) continue;
    try {
      const int failed = WaitForDisk(*flushing, while_waiting);
      if (error == 0) error = failed;
    } catch (...) {
      Abandon();
      throw;
    }
  }
  if (error != 0) {
    Fail(IoCodeFromErrno(error, target_), IoFailure{IoOperation::kWrite, error, target_});
  }
  flushed_ = true;
}

void OutputFile::Publish() {
  if (!open_) return;
  Flush();
  if (replaced_) {
    if (const int error = CurrentEnv().PublishReplacement(&replacement_); error != 0) {
      Fail(IoCodeFromErrno(error, target_), IoFailure{IoOperation::kCreate, error, target_});
    }
    file_ = kNoFile;  // released with the replacement
    replaced_ = false;
  }
  Abandon();  // only the descriptor is left to release
}

void OutputFile::Fail(int code, const IoFailure& failure) {
  if (code == 0) return;
  SetPendingIoCode(0);
  Abandon();
  throw EInOutError(code, failure);
}

void OutputFile::Abandon() noexcept {
  if (!open_) return;
  // A fresh text file in place of the open one releases the handle and drops
  // what is still buffered: nothing of an abandoned run reaches a device or
  // pipe either. A code another operation left pending stays pending.
  const int pending = PendingIoCode();
  const IoFailure failure = PendingIoFailure();
  // Flushes under way own copies of the descriptor until they return.
  for (std::future<int>* flushing : {&grown_, &on_disk_}) {
    if (flushing->valid()) flushing->wait();
    *flushing = {};
  }
  std::destroy_at(&text_);
  std::construct_at(&text_);
  SetPendingIoCode(pending, failure);
  if (replaced_) {
    CurrentEnv().DiscardReplacement(&replacement_);
  } else if (file_ != kNoFile) {
    CurrentEnv().Close(file_);
  }
  file_ = kNoFile;
  replaced_ = false;
  open_ = false;
  closed_ = false;
  flushed_ = false;
}

}  // namespace pelmoro

#include "foundation/text_file.h"

#include <atomic>
#include <cerrno>
#include <utility>

#include "foundation/errors.h"
#include "foundation/text_file_access.h"

namespace pelmoro {

namespace {

thread_local int pending_io_code = 0;
std::atomic<GiveUpInterruptedCall> interruption_check{nullptr};
thread_local IoFailure pending_io_failure;

bool ParentFolderExists(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  FileStatus status;
  return CurrentEnv().StatPath(parent, &status) && status.kind == FileKind::kFolder;
}

}  // namespace

TextFile::~TextFile() {
  if (syncing_.valid()) syncing_.wait();
  if (fd_ != kNoFile) CurrentEnv().Close(fd_);
}

void TextFileAccess::Release(TextFile& f) {
  if (f.syncing_.valid()) f.syncing_.wait();
  f.syncing_ = {};
  f.sync_while_writing_ = false;
  if (f.fd_ != kNoFile) CurrentEnv().Close(f.fd_);
  f.fd_ = kNoFile;
  f.mode_ = TextMode::kClosed;
  f.is_device_ = f.is_terminal_ = f.is_regular_ = f.write_failed_ = f.at_physical_end_ =
      f.given_up_ = false;
  f.end_ = 0;
  f.delivered_ = f.written_ = f.writeback_mark_ = f.sync_mark_ = 0;
}

void TextFileAccess::Start(TextFile& f, FileHandle fd, TextMode mode, const FileStatus& status,
                           std::size_t capacity) {
  f.fd_ = fd;
  f.mode_ = mode;
  f.is_device_ = status.kind == FileKind::kDevice;
  f.is_terminal_ = f.is_device_ && status.terminal;
  f.is_regular_ = status.kind == FileKind::kRegular;
  f.buffer_.resize(capacity);
}

// True when the file is open in the wanted mode; else leaves the
// wrong-state code. A file whose write failed is not usable either, but
// without a new code: the failure has been reported once.
bool TextFileAccess::Usable(TextFile& f, TextMode wanted) {
  if (!IsOpen(f)) return false;
  if (f.mode_ != wanted) {
    SetPendingIoCode(wanted == TextMode::kReading ? kNotForReading : kNotForWriting);
    return false;
  }
  return !f.write_failed_;
}

int IoCodeFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return ParentFolderExists(path) ? 2 : 3;
    case ENOTDIR:
    case ENAMETOOLONG:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return 5;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return 112;
    case EINTR:
      return kAbortedIoCode;
    case EIO:
      return 1117;
    default:
      // A failure of the system's own keeps its number.
      return error >= kSystemError ? error - kSystemError : error;
  }
}

void SetInterruptionCheck(GiveUpInterruptedCall check) { interruption_check.store(check); }

bool GiveUpAfterInterruption(InterruptedCall call) {
  const GiveUpInterruptedCall check = interruption_check.load();
  return check != nullptr && check(call);
}

void CheckIoResult() {
  const int code = pending_io_code;
  if (code == 0) return;
  pending_io_code = 0;
  throw EInOutError(code, std::move(pending_io_failure));
}

int PendingIoCode() { return pending_io_code; }

IoFailure PendingIoFailure() { return pending_io_failure; }

void SetPendingIoCode(int code, IoFailure failure) {
  pending_io_code = code;
  pending_io_failure = std::move(failure);
}

void SetPendingIoFailure(IoOperation operation, int error, const std::string& path) {
  SetPendingIoCode(IoCodeFromErrno(error, path), IoFailure{operation, error, path});
}

EInOutError IoErrorFromErrno(IoOperation operation, int error, const std::string& path) {
  return EInOutError(IoCodeFromErrno(error, path), IoFailure{operation, error, path});
}

// ---- opening and closing -------------------------------------------------

namespace {

// Opens name; the handle, or kNoFile with the code left pending and the
// system's error in *error (EINTR: an open given up after a signal).
FileHandle OpenHandle(const std::string& name, OpenFor how, FileStatus& status, int* error) {
  const IoOperation operation =
      how == OpenFor::kReading ? IoOperation::kOpen : IoOperation::kCreate;
  *error = 0;
  if (name.find('\0') != std::string::npos) {  // the system would see a shorter name
    SetPendingIoCode(3, IoFailure{operation, 0, name});
    return kNoFile;
  }
  // A signal that came just before the open would not interrupt it: the
  // check is asked first as well.
  Env& env = CurrentEnv();
  FileHandle fd = kNoFile;
  *error = EINTR;
  while (!GiveUpAfterInterruption(InterruptedCall::kOpen)) {
    *error = env.Open(name, how, &fd);
    if (*error != EINTR) break;
  }
  if (*error != 0) {
    SetPendingIoFailure(operation, *error, name);
    return kNoFile;
  }
  if (const int failed = env.Inspect(fd, &status); failed != 0) {
    env.Close(fd);
    SetPendingIoFailure(operation, failed, name);
    *error = failed;
    return kNoFile;
  }
  return fd;
}

}  // namespace

void TextFileAccess::OpenForReading(TextFile& file, const std::string& name) {
  Release(file);
  file.name_ = name;
  FileStatus status;
  int error = 0;
  const FileHandle fd = OpenHandle(name, OpenFor::kReading, status, &error);
  if (fd == kNoFile && error == EINTR) {
    // Given up while waiting for a writer: a file with nothing in it.
    SetPendingIoCode(0);
    file.mode_ = TextMode::kReading;
    file.at_physical_end_ = file.given_up_ = true;
    return;
  }
  if (fd == kNoFile) return;
  if (status.kind == FileKind::kFolder) {  // Linux opens a folder for reading; it is no text file
    CurrentEnv().Close(fd);
    SetPendingIoFailure(IoOperation::kOpen, EISDIR, name);
    return;
  }
  Start(file, fd, TextMode::kReading, status, 0);  // the bytes go straight to the reader
}

void TextFileAccess::CreateForWriting(TextFile& file, const std::string& name) {
  Release(file);
  file.name_ = name;
  FileStatus status;
  int error = 0;
  const FileHandle fd = OpenHandle(name, OpenFor::kReplacing, status, &error);
  if (fd == kNoFile) return;
  Start(file, fd, TextMode::kWriting, status, kTextWriteBuffer);
}

void TextFileAccess::Attach(TextFile& file, FileHandle fd, const std::string& name) {
  Release(file);
  file.name_ = name;
  FileStatus status;
  if (const int error = CurrentEnv().Inspect(fd, &status); error != 0) {
    SetPendingIoFailure(IoOperation::kCreate, error, name);
    return;
  }
  Start(file, fd, TextMode::kWriting, status, kTextWriteBuffer);
}

void TextFileAccess::Close(TextFile& file) {
  if (!IsOpen(file)) return;
  // The last part is the final flush's, the owner's: the bytes still
  // collected go out without starting one more flush to wait for here.
  file.sync_while_writing_ = false;
  if (file.mode_ == TextMode::kWriting && !file.write_failed_ && file.end_ > 0) {
    Flush(file);
  }
  FinishSync(file);
  // After a failed write the descriptor is closed all the same, so that
  // nothing stays open; the write's code stays the one reported. An open
  // given up has no descriptor.
  const int error = file.fd_ != kNoFile ? CurrentEnv().Close(file.fd_) : 0;
  file.fd_ = kNoFile;
  if (error != 0 && !file.write_failed_) {
    SetPendingIoFailure(IoOperation::kClose, error, file.name_);
  }
  Release(file);
}

// ---- size and position -------------------------------------------------------

std::int64_t TextFileAccess::SizeInBytes(TextFile& file) {
  if (!IsOpen(file)) return -1;
  std::uint64_t bytes = file.mode_ == TextMode::kReading ? file.delivered_ : file.written_;
  if (file.is_regular_) {
    FileStatus status;
    if (const int error = CurrentEnv().Inspect(file.fd_, &status); error != 0) {
      SetPendingIoFailure(IoOperation::kRead, error, file.name_);
      return 0;
    }
    bytes = status.size;
  }
  return static_cast<std::int64_t>(bytes);
}

std::int64_t TextFileAccess::SizeInBlocks(TextFile& file) {
  const std::int64_t bytes = SizeInBytes(file);
  return bytes < 0 ? bytes : bytes / kTextBlock;
}

std::int64_t TextFileAccess::PositionInBlocks(TextFile& file) {
  if (!IsOpen(file)) return -1;
  const std::uint64_t bytes = file.mode_ == TextMode::kReading ? file.delivered_ : file.written_;
  return static_cast<std::int64_t>(bytes / kTextBlock);
}

// ---- the public operations ---------------------------------------------------

void OpenTextForReading(TextFile& file, const std::string& name) {
  TextFileAccess::OpenForReading(file, name);
}
void CreateTextForWriting(TextFile& file, const std::string& name) {
  TextFileAccess::CreateForWriting(file, name);
}
void AttachTextForWriting(TextFile& file, FileHandle fd, const std::string& name) {
  TextFileAccess::Attach(file, fd, name);
}
void CloseText(TextFile& file) { TextFileAccess::Close(file); }
void SyncTextWhileWriting(TextFile& file) { TextFileAccess::SyncWhileWriting(file); }
std::int64_t TextSizeInBlocks(TextFile& file) { return TextFileAccess::SizeInBlocks(file); }
std::int64_t TextSizeInBytes(TextFile& file) { return TextFileAccess::SizeInBytes(file); }
bool TextReadingGivenUp(const TextFile& file) { return TextFileAccess::GivenUp(file); }
std::int64_t TextPositionInBlocks(TextFile& file) { return TextFileAccess::PositionInBlocks(file); }

}  // namespace pelmoro

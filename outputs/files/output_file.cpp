#include "outputs/files/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>

#include "foundation/disk_flush.h"
#include "foundation/errors.h"
#include "outputs/files/output_target.h"
#include "outputs/files/temporary_files.h"

namespace pelmoro {

namespace {

constexpr int kMaxTempAttempts = 100;
constexpr std::size_t kMaxBaseInTempName = 200;  // keeps the temp name below NAME_MAX

std::string RandomTag() {
  static std::atomic<unsigned> counter{0};
  unsigned value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
    value = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  value ^= static_cast<unsigned>(::getpid()) ^ (counter.fetch_add(1) * 0x9E3779B9u);
  char tag[9];
  std::snprintf(tag, sizeof tag, "%08x", value);
  return tag;
}

// A fresh hidden name beside destination. Names are random, and taken only
// with O_EXCL or link(), so no other file of that form is ever touched.
std::string TemporaryName(const std::string& destination) {
  const std::string base = BaseOf(destination).substr(0, kMaxBaseInTempName);
  return FolderOf(destination) + "/." + base + "." + RandomTag() + ".tmp";
}

// Refuses an existing target that could not be opened for writing, with the
// code that creating it directly would have given.
void CheckWritable(const std::string& destination, const std::string& target,
                   const struct stat& st) {
  // A folder in the target's place cannot be replaced by a file: the system
  // the format comes from calls that "access denied".
  if (S_ISDIR(st.st_mode)) throw IoErrorFromErrno(IoOperation::kCreate, EISDIR, target);
  const int fd = ::open(destination.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw IoErrorFromErrno(IoOperation::kCreate, errno, target);
  ::close(fd);
}

// An unnamed file in destination's folder, or -1 when the filesystem (or
// the kernel) has none: those refuse O_TMPFILE with EOPNOTSUPP, EISDIR or
// EINVAL. Any other failure is the folder's and raises its code.
int OpenUnnamed(const std::string& destination) {
  if (!UnnamedTemporariesAllowed()) return -1;
  const int fd = ::open(FolderOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) return fd;
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return -1;
  throw IoErrorFromErrno(IoOperation::kCreate, errno, destination);
}

// Creates a new hidden file beside destination and returns its descriptor.
int OpenNamed(const std::string& destination, std::string& path) {
  for (int attempt = 0;; ++attempt) {
    path = TemporaryName(destination);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt >= kMaxTempAttempts) {
      throw IoErrorFromErrno(IoOperation::kCreate, errno, path);
    }
  }
}

// Gives the unnamed file fd the name path; false (errno set) when that
// fails. Through /proc the link needs no privilege; AT_EMPTY_PATH is the
// way without /proc.
bool LinkUnnamed(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return true;
  }
  if (errno != ENOENT) return false;
  return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

std::future<int> Ready(int value) {
  std::promise<int> promise;
  promise.set_value(value);
  return promise.get_future();
}

// fsync in the background, so the caller can go on with other work (or
// handle its window) while a large file reaches the disk; the future gives
// the errno of a failed fsync, or 0.
std::future<int> StartFlushToDisk(int file_fd) {
  const int fd = ::fcntl(file_fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return Ready(errno);
  return StartDiskFlush(fd, DiskFlush::kAll);
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

int Duplicate(int fd, const std::string& target) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) throw IoErrorFromErrno(IoOperation::kCreate, errno, target);
  return copy;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Create(const std::string& target) {
  Abandon();
  target_ = target;
  kind_ = Kind::kDirect;
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

void OutputFile::CreateOnDescriptor(int fd, const std::string& name) {
  Abandon();
  target_ = name;
  kind_ = Kind::kDirect;
  AttachDuplicate(fd);
  open_ = true;
  Fail(PendingIoCode(), PendingIoFailure());
}

// The shell's file, pipe or terminal, with its offset and append flag:
// writing through the same open file keeps what came before and after.
void OutputFile::AttachDuplicate(int fd) {
  file_fd_ = Duplicate(fd, target_);
  AttachTextForWriting(text_, Duplicate(fd, target_), target_);
}

void OutputFile::CreateReplacement(const OutputTarget& resolved) {
  destination_ = resolved.destination;
  if (resolved.exists) CheckWritable(destination_, target_, resolved.st);
  int fd = OpenUnnamed(destination_);
  kind_ = Kind::kUnnamed;
  if (fd < 0) {
    fd = OpenNamed(destination_, temp_);
    kind_ = Kind::kNamed;
    temp_slot_ = RegisterTemporary(temp_);
  }
  file_fd_ = fd;
  if (resolved.exists) {
    // The replacement keeps what the user had set on the file; failing to
    // copy the owner (not root) is harmless.
    [[maybe_unused]] int ignored = ::fchown(fd, resolved.st.st_uid, resolved.st.st_gid);
    ::fchmod(fd, resolved.st.st_mode & 07777);
  }
  AttachTextForWriting(text_, Duplicate(fd, target_), target_);
  SyncTextWhileWriting(text_);  // it is flushed before it takes its name
}

std::optional<SpaceClaim> OutputFile::ClaimSpace(std::uint64_t bytes) const {
  if (!open_) return std::nullopt;
  std::optional<SpaceClaim> claim = ClaimSpaceOn(file_fd_, bytes, target_);
  if (!claim || kind_ != Kind::kDirect || (::fcntl(file_fd_, F_GETFL) & O_APPEND) != 0) {
    return claim;
  }
  // Written over a shell's file, bytes before its end need no new room.
  struct stat st {};
  const off_t at = ::lseek(file_fd_, 0, SEEK_CUR);
  if (at >= 0 && ::fstat(file_fd_, &st) == 0 && st.st_size > at) {
    claim->bytes -= std::min(claim->bytes, static_cast<std::uint64_t>(st.st_size - at));
  }
  return claim;
}

void OutputFile::LinkIntoPlace() {
  // A new target is linked in place at once; an existing one is replaced
  // by a rename from a fresh name, which only exists for that moment.
  if (LinkUnnamed(file_fd_, destination_)) return;
  if (errno != EEXIST) throw IoErrorFromErrno(IoOperation::kCreate, errno, target_);
  for (int attempt = 0;; ++attempt) {
    const std::string name = TemporaryName(destination_);
    if (LinkUnnamed(file_fd_, name)) {
      const int slot = RegisterTemporary(name);
      const bool renamed = ::rename(name.c_str(), destination_.c_str()) == 0;
      const int error = errno;
      if (!renamed) ::unlink(name.c_str());
      UnregisterTemporary(slot);
      if (!renamed) throw IoErrorFromErrno(IoOperation::kCreate, error, target_);
      return;
    }
    if (errno != EEXIST || attempt >= kMaxTempAttempts) {
      throw IoErrorFromErrno(IoOperation::kCreate, errno, target_);
    }
  }
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
  if (kind_ != Kind::kDirect) on_disk_ = StartFlushToDisk(file_fd_);
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
  try {
    if (kind_ == Kind::kUnnamed) {
      LinkIntoPlace();
    } else if (kind_ == Kind::kNamed) {
      if (::rename(temp_.c_str(), destination_.c_str()) != 0) {
        throw IoErrorFromErrno(IoOperation::kCreate, errno, target_);
      }
      UnregisterTemporary(temp_slot_);
      temp_slot_ = -1;
      temp_.clear();
    }
  } catch (const EInOutError& e) {
    Fail(e.code(), e.failure());
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
  if (file_fd_ >= 0) ::close(file_fd_);  // an unnamed file goes with it
  file_fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  UnregisterTemporary(temp_slot_);
  temp_slot_ = -1;
  temp_.clear();
  kind_ = Kind::kDirect;
  open_ = false;
  closed_ = false;
  flushed_ = false;
}

}  // namespace pelmoro

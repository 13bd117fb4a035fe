#include "heightmap/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <system_error>

#include "foundation/errors.h"

namespace pelmoro {

namespace {

constexpr int kMaxLinks = 40;        // as the kernel's own limit on link chains
constexpr int kMaxTempAttempts = 100;
constexpr std::size_t kMaxBaseInTempName = 200;  // keeps the temp name below NAME_MAX

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (which need not exist yet). The
// temporary file must live beside that file and be renamed onto it, so the
// link itself stays a link.
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return current;
    link.resize(static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  return current;  // a loop: opening it reports the error
}

bool IsDevice(const struct stat& st) {
  return S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISBLK(st.st_mode);
}

std::string RandomTag() {
  static std::atomic<unsigned> counter{0};
  unsigned value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
    value = static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count());
  }
  value ^= static_cast<unsigned>(::getpid()) ^ (counter.fetch_add(1) * 0x9E3779B9u);
  char tag[9];
  std::snprintf(tag, sizeof tag, "%08x", value);
  return tag;
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

// Creates a new hidden file beside destination and returns its descriptor.
// A missing or unwritable folder fails here, with the code creating the
// target itself would give.
int OpenTemporary(const std::string& destination, std::string& path) {
  const std::string base = BaseOf(destination).substr(0, kMaxBaseInTempName);
  for (int attempt = 0;; ++attempt) {
    path = FolderOf(destination) + "/." + base + "." + RandomTag() + ".tmp";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt >= kMaxTempAttempts) {
      throw IoErrorFromErrno(IoOperation::kCreate, errno, path);
    }
  }
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Create(const std::string& target) {
  Abandon();
  target_ = target;
  // The system follows the links for stat, the magic ones of /proc too
  // ("/dev/stdout" on a pipe), which FollowLinks could not.
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && IsDevice(st)) {
    // Devices and pipes cannot be replaced by a file; they take the text as
    // it comes (the text layer writes character devices out at line ends).
    CreateTextForWriting(text_, target_);
    CheckIoResult();
    temp_.clear();
    open_ = true;
    return;
  }
  destination_ = FollowLinks(target);
  if (exists) CheckWritable(destination_, target_, st);

  std::string path;
  const int fd = OpenTemporary(destination_, path);
  if (exists) {
    // The replacement keeps what the user had set on the file; failing to
    // copy the owner (not root) is harmless.
    [[maybe_unused]] int ignored = ::fchown(fd, st.st_uid, st.st_gid);
    ::fchmod(fd, st.st_mode & 07777);
  }
  AttachTextForWriting(text_, fd, target_);
  temp_ = path;
  open_ = true;
  if (const int code = PendingIoCode(); code != 0) {
    const IoFailure failure = PendingIoFailure();
    SetPendingIoCode(0);
    Abandon();
    throw EInOutError(code, failure);
  }
}

void OutputFile::CreateOnDescriptor(int fd, const std::string& name) {
  Abandon();
  target_ = name;
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) throw IoErrorFromErrno(IoOperation::kCreate, errno, name);
  AttachTextForWriting(text_, copy, name);
  temp_.clear();
  open_ = true;
  Fail(PendingIoCode(), PendingIoFailure());
}

namespace {

// fsync on a thread of its own, so the caller can go on handling its window
// while a large file reaches the disk; the errno of a failed fsync, or 0.
int FlushToDisk(const std::string& path, const std::function<void()>& while_waiting) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const auto flush = [fd] {
    const int result = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return result;
  };
  std::future<int> flushed;
  try {
    flushed = std::async(std::launch::async, flush);
  } catch (const std::system_error&) {
    return flush();  // no thread to be had: flush here, the front end waits
  }
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

}  // namespace

void OutputFile::Commit(const std::function<void()>& while_waiting) {
  Flush(while_waiting);
  Publish();
}

void OutputFile::Flush(const std::function<void()>& while_waiting) {
  if (!open_ || flushed_) return;
  CloseText(text_);
  int code = PendingIoCode();
  IoFailure failure = PendingIoFailure();
  // The data must be on the disk before the name points at it, or a crash
  // right after the rename could leave an empty target.
  if (code == 0 && !temp_.empty()) {
    if (const int error = FlushToDisk(temp_, while_waiting); error != 0) {
      code = IoCodeFromErrno(error, target_);
      failure = IoFailure{IoOperation::kWrite, error, target_};
    }
  }
  Fail(code, failure);
  flushed_ = true;
}

void OutputFile::Publish() {
  if (!open_) return;
  Flush();
  if (!temp_.empty() && ::rename(temp_.c_str(), destination_.c_str()) != 0) {
    const int error = errno;
    Fail(IoCodeFromErrno(error, target_), IoFailure{IoOperation::kCreate, error, target_});
  }
  temp_.clear();
  open_ = false;
  flushed_ = false;
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
  std::destroy_at(&text_);
  std::construct_at(&text_);
  SetPendingIoCode(pending, failure);
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  open_ = false;
  flushed_ = false;
}

}  // namespace pelmoro

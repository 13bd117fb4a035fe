// Replacements on a POSIX system. The text goes to an unnamed file in the
// target's folder (O_TMPFILE), linked into place when published: nothing
// of it exists under any name before, so no ending can leave it behind.
// Where the filesystem has no unnamed files, a hidden named file takes its
// place, removed on every way out that can be caught.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "os/posix_output.h"
#include "os/temporary_files.h"

namespace pelmoro::posix {

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

// Whether an existing target could be opened for writing: 0 or the code
// that creating it directly would have given.
int CheckWritable(const OutputTarget& target) {
  // A folder in the target's place cannot be replaced by a file: the system
  // the format comes from calls that "access denied".
  if (target.status.kind == FileKind::kFolder) return EISDIR;
  const int fd = ::open(target.destination.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

// An unnamed file in destination's folder, or -1 when the filesystem (or
// the kernel) has none: those refuse O_TMPFILE with EOPNOTSUPP, EISDIR or
// EINVAL. Any other failure is the folder's, in *error.
int OpenUnnamed(const std::string& destination, int* error) {
  if (!UnnamedTemporariesAllowed()) return -1;
  const int fd = ::open(FolderOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) return fd;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) *error = errno;
  return -1;
}

// Creates a new hidden file beside destination: its descriptor, or -1 with
// *error set (and path the name that failed).
int OpenNamed(const std::string& destination, std::string& path, int* error) {
  for (int attempt = 0;; ++attempt) {
    path = TemporaryName(destination);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt >= kMaxTempAttempts) {
      *error = errno;
      return -1;
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

// A new target is linked in place at once; an existing one is replaced by
// a rename from a fresh name, which only exists for that moment.
int LinkIntoPlace(int fd, const std::string& destination) {
  if (LinkUnnamed(fd, destination)) return 0;
  if (errno != EEXIST) return errno;
  for (int attempt = 0;; ++attempt) {
    const std::string name = TemporaryName(destination);
    if (LinkUnnamed(fd, name)) {
      const int slot = RegisterTemporary(name);
      const bool renamed = ::rename(name.c_str(), destination.c_str()) == 0;
      const int error = errno;
      if (!renamed) ::unlink(name.c_str());
      UnregisterTemporary(slot);
      return renamed ? 0 : error;
    }
    if (errno != EEXIST || attempt >= kMaxTempAttempts) return errno;
  }
}

}  // namespace

int CreateReplacement(const OutputTarget& target, Replacement* replacement) {
  *replacement = Replacement{};
  replacement->destination = target.destination;
  if (target.exists) {
    if (const int error = CheckWritable(target); error != 0) return error;
  }
  int error = 0;
  int fd = OpenUnnamed(target.destination, &error);
  if (error != 0) return error;
  replacement->vanishes = fd >= 0;
  if (fd < 0) {
    std::string name;
    fd = OpenNamed(target.destination, name, &error);
    if (fd < 0) {
      replacement->refused = name;
      return error;
    }
    replacement->temporary = name;
    replacement->slot = RegisterTemporary(replacement->temporary);
  }
  replacement->file = fd;
  struct stat st {};
  if (target.exists && ::stat(target.destination.c_str(), &st) == 0) {
    // The replacement keeps what the user had set on the file; failing to
    // copy the owner (not root) is harmless.
    [[maybe_unused]] int ignored = ::fchown(fd, st.st_uid, st.st_gid);
    ::fchmod(fd, st.st_mode & 07777);
  }
  return 0;
}

int PublishReplacement(Replacement* replacement) {
  const int fd = static_cast<int>(replacement->file);
  if (replacement->vanishes) {
    if (const int error = LinkIntoPlace(fd, replacement->destination); error != 0) return error;
  } else {
    if (::rename(replacement->temporary.c_str(), replacement->destination.c_str()) != 0) {
      return errno;
    }
    UnregisterTemporary(replacement->slot);
    replacement->slot = -1;
    replacement->temporary.clear();
  }
  DiscardReplacement(replacement);  // only the descriptor is left to release
  return 0;
}

void DiscardReplacement(Replacement* replacement) noexcept {
  if (replacement->file != kNoFile) ::close(static_cast<int>(replacement->file));
  replacement->file = kNoFile;  // an unnamed file goes with it
  if (!replacement->temporary.empty()) ::unlink(replacement->temporary.c_str());
  UnregisterTemporary(replacement->slot);
  replacement->slot = -1;
  replacement->temporary.clear();
  replacement->vanishes = false;
}

}  // namespace pelmoro::posix

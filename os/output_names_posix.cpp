// What an output name denotes on a POSIX system: links followed one by
// one, so that the replacement goes beside the file itself, and the names
// of the process's own descriptors recognised, so that /dev/stdout is
// written through, not replaced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "os/posix_output.h"

namespace pelmoro {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace posix {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on link chains
constexpr std::size_t kMaxLinkText = std::size_t{1} << 20;

bool IsNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The folder with every link resolved ("/dev/fd" gives "/proc/PID/fd").
bool RealFolder(const std::string& folder, std::string& real) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return false;
  real = resolved.get();
  return true;
}

bool IsDevice(const struct stat& st) {
  return S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISBLK(st.st_mode);
}

// A link of /proc, which may lead to something that has no name.
bool IsMagicLink(const std::string& path) {
  std::string folder;
  return RealFolder(FolderOf(path), folder) && folder.rfind("/proc/", 0) == 0;
}

int HeldDescriptor(int fd, OutputTarget* target) {
  struct stat st {};
  if (::fcntl(fd, F_GETFD) < 0 || ::fstat(fd, &st) != 0) return EBADF;
  target->kind = OutputKind::kDescriptor;
  target->descriptor = fd;
  target->status = StatusOf(st);
  return 0;
}

// Something is at `current`, and it is no link.
void Found(const std::string& current, const struct stat& st, OutputTarget* target) {
  target->kind = IsDevice(st) ? OutputKind::kDevice : OutputKind::kFile;
  target->destination = current;
  target->exists = true;
  target->status = StatusOf(st);
}

}  // namespace

FileStatus StatusOf(const struct stat& st) {
  FileStatus status;
  status.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
                : S_ISDIR(st.st_mode) ? FileKind::kFolder
                : S_ISCHR(st.st_mode) ? FileKind::kDevice
                                      : FileKind::kPipe;
  status.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  status.identified = true;
  status.volume = static_cast<std::uint64_t>(st.st_dev);
  status.index = static_cast<std::uint64_t>(st.st_ino);
  return status;
}

bool ReadLinkText(const std::string& path, std::string& text) {
  // A result that fills the buffer may have been cut: try again, larger.
  for (std::size_t size = 256; size <= kMaxLinkText; size *= 2) {
    text.resize(size);
    const ssize_t n = ::readlink(path.c_str(), text.data(), size);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < size) {
      text.resize(static_cast<std::size_t>(n));
      return true;
    }
  }
  return false;
}

int OwnDescriptorNamedBy(const std::string& path) {
  const std::string base = BaseOf(path);
  std::string folder;
  if (!IsNumber(base) || !RealFolder(FolderOf(path), folder)) return -1;
  const std::string own = "/proc/" + std::to_string(::getpid());
  if (folder == own + "/fd") return std::atoi(base.c_str());
  // /proc/thread-self/fd: the table every thread of the process shares.
  const std::string task = own + "/task/";
  if (folder.rfind(task, 0) == 0 && folder.size() > task.size() + 3 &&
      folder.compare(folder.size() - 3, 3, "/fd") == 0 &&
      IsNumber(folder.substr(task.size(), folder.size() - 3 - task.size()))) {
    return std::atoi(base.c_str());
  }
  return -1;
}

int ResolveOutput(const std::string& name, OutputTarget* target) {
  *target = OutputTarget{};
  std::string current = name;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (const int fd = OwnDescriptorNamedBy(current); fd >= 0) return HeldDescriptor(fd, target);
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno == ELOOP) break;      // a loop among the folders
      target->destination = current;  // nothing there yet; creating it reports the rest
      return 0;
    }
    if (!S_ISLNK(st.st_mode)) {
      Found(current, st, target);
      return 0;
    }
    std::string link;
    if (!ReadLinkText(current, link) || link.empty()) return errno != 0 ? errno : EINVAL;
    if (link.front() != '/' && IsMagicLink(current)) {
      // "pipe:[...]" of another process's descriptor: only the system can
      // follow it.
      if (::stat(current.c_str(), &st) == 0 && IsDevice(st)) {
        Found(current, st, target);
        return 0;
      }
    }
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  // Replacing the link by a file would break the loop the user made.
  return ELOOP;
}

}  // namespace posix
}  // namespace pelmoro

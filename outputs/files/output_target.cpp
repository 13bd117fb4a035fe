#include "outputs/files/output_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "foundation/errors.h"
#include "foundation/text_file.h"

namespace pelmoro {

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

OutputTarget HeldDescriptor(int fd, const std::string& name) {
  OutputTarget target;
  target.kind = OutputKind::kDescriptor;
  target.descriptor = fd;
  if (::fcntl(fd, F_GETFD) < 0 || ::fstat(fd, &target.st) != 0) {
    throw IoErrorFromErrno(IoOperation::kCreate, EBADF, name);
  }
  return target;
}

}  // namespace

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

OutputTarget ResolveOutputTarget(const std::string& name) {
  std::string current = name;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (const int fd = OwnDescriptorNamedBy(current); fd >= 0) return HeldDescriptor(fd, name);
    OutputTarget target;
    if (::lstat(current.c_str(), &target.st) != 0) {
      if (errno == ELOOP) break;     // a loop among the folders
      target.destination = current;  // nothing there yet; creating it reports the rest
      return target;
    }
    if (!S_ISLNK(target.st.st_mode)) {
      target.kind = IsDevice(target.st) ? OutputKind::kDevice : OutputKind::kFile;
      target.destination = current;
      target.exists = true;
      return target;
    }
    std::string link;
    if (!ReadLinkText(current, link) || link.empty()) {
      throw IoErrorFromErrno(IoOperation::kCreate, errno != 0 ? errno : EINVAL, name);
    }
    if (link.front() != '/' && IsMagicLink(current)) {
      // "pipe:[...]" of another process's descriptor: only the system can
      // follow it.
      if (::stat(current.c_str(), &target.st) == 0 && IsDevice(target.st)) {
        target.kind = OutputKind::kDevice;
        target.destination = current;
        target.exists = true;
        return target;
      }
    }
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  // Replacing the link by a file would break the loop the user made.
  throw IoErrorFromErrno(IoOperation::kCreate, ELOOP, name);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace pelmoro

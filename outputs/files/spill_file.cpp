#include "outputs/files/spill_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "outputs/files/output_target.h"

namespace pelmoro {

namespace {

constexpr std::size_t kSpillBuffer = 1 << 20;

int OpenUnnamed(const std::string& folder) {
  return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace

SpillFile::~SpillFile() {
  if (fd_ >= 0) ::close(fd_);
}

void SpillFile::Open(const std::string& near) {
  near_ = near;
  fd_ = OpenUnnamed(FolderOf(near));
  // What went wrong in the output's own folder is what the user is told:
  // the system's temporary folder is only a second chance.
  const int error = errno;
  if (fd_ < 0) {
    const char* tmp = std::getenv("TMPDIR");
    fd_ = OpenUnnamed(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
  }
  if (fd_ < 0) throw IoErrorFromErrno(IoOperation::kCreate, error, near_);
  buffer_.resize(kSpillBuffer);
}

std::optional<SpaceClaim> SpillFile::ClaimSpace(std::uint64_t bytes) const {
  if (fd_ < 0) return std::nullopt;
  return ClaimSpaceOn(fd_, bytes, near_);
}

void SpillFile::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (held_ == buffer_.size()) WriteOut();
    const std::size_t n = std::min(bytes.size(), buffer_.size() - held_);
    std::memcpy(buffer_.data() + held_, bytes.data(), n);
    held_ += n;
    size_ += n;
    bytes.remove_prefix(n);
  }
}

void SpillFile::WriteOut() {
  std::size_t done = 0;
  while (done < held_) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, held_ - done);
    if (n < 0 && errno == EINTR) continue;
    // A write that takes nothing without an error has found the disk full.
    if (n <= 0) throw IoErrorFromErrno(IoOperation::kWrite, n < 0 ? errno : ENOSPC, near_);
    done += static_cast<std::size_t>(n);
  }
  held_ = 0;
}

void SpillFile::Flush() {
  if (held_ != 0) WriteOut();
}

void SpillFile::ReadAt(std::uint64_t offset, char* out, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw IoErrorFromErrno(IoOperation::kRead, n < 0 ? errno : EIO, near_);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace pelmoro

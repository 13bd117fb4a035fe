#include "outputs/files/spill_file.h"

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

}  // namespace

SpillFile::~SpillFile() {
  if (fd_ != kNoFile) CurrentEnv().Close(fd_);
}

void SpillFile::Open(const std::string& near) {
  near_ = near;
  Env& env = CurrentEnv();
  // What went wrong in the output's own folder is what the user is told:
  // the system's temporary folder is only a second chance.
  const int error = env.CreateScratch(FolderOf(near), &fd_);
  if (error != 0 && env.CreateScratch(env.TemporaryFolder(), &fd_) != 0) {
    fd_ = kNoFile;
    throw IoErrorFromErrno(IoOperation::kCreate, error, near_);
  }
  buffer_.resize(kSpillBuffer);
}

std::optional<SpaceClaim> SpillFile::ClaimSpace(std::uint64_t bytes) const {
  if (fd_ == kNoFile) return std::nullopt;
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
    std::size_t n = 0;
    const int error = CurrentEnv().Write(fd_, buffer_.data() + done, held_ - done, &n);
    if (error == EINTR) continue;
    // A write that takes nothing without an error has found the disk full.
    if (error != 0 || n == 0) {
      throw IoErrorFromErrno(IoOperation::kWrite, error != 0 ? error : ENOSPC, near_);
    }
    done += n;
  }
  held_ = 0;
}

void SpillFile::Flush() {
  if (held_ != 0) WriteOut();
}

void SpillFile::ReadAt(std::uint64_t offset, char* out, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    std::size_t n = 0;
    const int error = CurrentEnv().ReadAt(fd_, out + done, size - done, offset + done, &n);
    if (error == EINTR) continue;
    if (error != 0 || n == 0) {
      throw IoErrorFromErrno(IoOperation::kRead, error != 0 ? error : EIO, near_);
    }
    done += n;
  }
}

}  // namespace pelmoro

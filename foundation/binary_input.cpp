#include "foundation/binary_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/errors.h"
#include "foundation/text_file.h"

namespace pelmoro {

BinaryInput::BinaryInput(const std::string& name) : name_(name) {
  if (name.find('\0') != std::string::npos) {
    throw EInOutError(3, IoFailure{IoOperation::kOpen, 0, name});
  }
  do {
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) Fail(IoOperation::kOpen, errno);
  if (S_ISDIR(st.st_mode)) Fail(IoOperation::kOpen, EISDIR);
  is_regular_ = S_ISREG(st.st_mode);
  if (is_regular_) size_ = static_cast<std::uint64_t>(st.st_size);
}

BinaryInput::~BinaryInput() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t BinaryInput::Read(char* into, std::size_t bytes) {
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::read(fd_, into + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(IoOperation::kRead, errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void BinaryInput::Fail(IoOperation operation, int error) const {
  throw IoErrorFromErrno(operation, error, name_);
}

}  // namespace pelmoro

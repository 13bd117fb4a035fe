#include "foundation/binary_input.h"

#include <cerrno>

#include "foundation/errors.h"
#include "foundation/text_file.h"

namespace pelmoro {

BinaryInput::BinaryInput(const std::string& name) : name_(name) {
  if (name.find('\0') != std::string::npos) {
    throw EInOutError(3, IoFailure{IoOperation::kOpen, 0, name});
  }
  Env& env = CurrentEnv();
  int error = 0;
  do {
    error = env.Open(name, OpenFor::kReading, &fd_);
  } while (error == EINTR);
  if (error != 0) Fail(IoOperation::kOpen, error);
  FileStatus status;
  if (const int failed = env.Inspect(fd_, &status); failed != 0) Fail(IoOperation::kOpen, failed);
  if (status.kind == FileKind::kFolder) Fail(IoOperation::kOpen, EISDIR);
  is_regular_ = status.kind == FileKind::kRegular;
  size_ = status.size;
}

BinaryInput::~BinaryInput() {
  if (fd_ != kNoFile) CurrentEnv().Close(fd_);
}

std::size_t BinaryInput::Read(char* into, std::size_t bytes) {
  std::size_t done = 0;
  while (done < bytes) {
    std::size_t n = 0;
    const int error = CurrentEnv().Read(fd_, into + done, bytes - done, &n);
    if (error == EINTR) continue;
    if (error != 0) Fail(IoOperation::kRead, error);
    if (n == 0) break;
    done += n;
  }
  return done;
}

void BinaryInput::Fail(IoOperation operation, int error) const {
  throw IoErrorFromErrno(operation, error, name_);
}

}  // namespace pelmoro

#include "tests/support/block_reader.h"

#include <fcntl.h>
#include <unistd.h>

namespace pelmoro::testing {

BlockReader::BlockReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}

BlockReader::~BlockReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool BlockReader::AtEnd() { return !Have() || buf_[pos_] == 26; }

std::string BlockReader::ReadLine() {
  std::string line;
  while (Have()) {
    const char c = buf_[pos_++];
    if (c == '\n') break;
    if (c == '\r') {
      if (Have() && buf_[pos_] == '\n') ++pos_;
      break;
    }
    line += c;
  }
  return line;
}

bool BlockReader::Have() {
  if (pos_ < fill_) return true;
  const ssize_t got = ::read(fd_, buf_, 128);
  if (got <= 0) return false;
  fill_ = got;
  pos_ = 0;
  taken_ += got;
  return true;
}

}  // namespace pelmoro::testing

#include <cerrno>

#include "foundation/text_file.h"
#include "foundation/text_file_access.h"

namespace pelmoro {

// Reads up to want bytes into `into`, counting them as delivered; 0 when no
// byte came: the end of the data, a broken pipe, or a failed read (code
// pending). A regular file is read until want bytes have come, so that
// every read but the last ends where it was asked to; a pipe or terminal
// gives what it has.
std::size_t TextFileAccess::ReadInto(TextFile& f, char* into, std::size_t want) {
  std::size_t got_total = 0;
  while (got_total < want && !f.at_physical_end_) {
    // Asked before the read too: a signal just before it would not end it.
    if (!f.is_regular_ && GiveUpAfterInterruption(InterruptedCall::kRead)) {
      f.at_physical_end_ = f.given_up_ = true;  // the front end ends the reading here
      break;
    }
    std::size_t got = 0;
    const int error = CurrentEnv().Read(f.fd_, into + got_total, want - got_total, &got);
    if (error == EINTR) continue;
    if (error != 0 && error != EPIPE) SetPendingIoFailure(IoOperation::kRead, error, f.name_);
    if (error != 0 || got == 0) {
      f.at_physical_end_ = true;
      break;
    }
    got_total += got;
    f.delivered_ += got;
    if (!f.is_regular_) break;
  }
  return got_total;
}

std::size_t TextFileAccess::ReadBytes(TextFile& file, char* into, std::size_t want) {
  if (!Usable(file, TextMode::kReading)) return 0;
  return ReadInto(file, into, want);
}

std::size_t ReadTextBytes(TextFile& file, char* into, std::size_t bytes) {
  return TextFileAccess::ReadBytes(file, into, bytes);
}

}  // namespace pelmoro

#include "foundation/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/errors.h"

namespace pelmoro {

namespace {

thread_local int pending_io_code = 0;

constexpr char kLf = 10;
constexpr char kCr = 13;
constexpr char kCtrlZ = 26;
constexpr std::size_t kNotSearched = std::string::npos;

// I/O codes of the wrong-state failures.
constexpr int kNotOpen = 103;
constexpr int kNotForReading = 104;
constexpr int kNotForWriting = 105;

std::uint64_t RoundUpToBlock(std::uint64_t n) {
  return (n + kTextBlock - 1) / kTextBlock * kTextBlock;
}

bool ParentFolderExists(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  struct stat st {};
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// 0, or the errno of a failed close. An interrupted close has released the
// descriptor all the same on Linux, so it counts as done.
int CloseDescriptor(int fd) {
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

}  // namespace

// The operations below reach the file's state through this one friend.
struct TextFileAccess {
  static void Release(TextFile& f);
  static void Start(TextFile& f, int fd, TextMode mode, const struct stat& st,
                    std::size_t capacity);
  // True when open; else leaves the code 103.
  static bool IsOpen(const TextFile& f) {
    if (f.mode_ != TextMode::kClosed) return true;
    SetPendingIoCode(kNotOpen);
    return false;
  }
  static bool Usable(TextFile& f, TextMode wanted);
  static bool Fill(TextFile& f);
  static void Examine(TextFile& f, std::uint64_t bytes) {
    f.examined_ = std::max(f.examined_, bytes);
  }
  // File offset just past the buffer index i.
  static std::uint64_t OffsetAfter(const TextFile& f, std::size_t i) {
    return f.delivered_ - f.end_ + i + 1;
  }
  static std::size_t Next(const TextFile& f, char c, std::size_t& cache);
  static std::string_view TakeLine(TextFile& f);
  static std::string_view SkipLfAfterCr(TextFile& f, std::string_view line, bool spanned);
  static void Flush(TextFile& f);
  static void OpenForReading(TextFile& file, const std::string& name);
  static void CreateForWriting(TextFile& file, const std::string& name);
  static void Attach(TextFile& file, int fd, const std::string& name);
  static void Close(TextFile& file);
  static bool AtEnd(TextFile& file);
  static std::string_view ReadLineView(TextFile& file);
  static std::int64_t SizeInBlocks(TextFile& file);
  static std::int64_t PositionInBlocks(TextFile& file);
  static void Put(TextFile& file, std::string_view text);
  static void EndLine(TextFile& file);
};

TextFile::TextFile(std::size_t read_chunk)
    : read_chunk_(std::max<std::size_t>(RoundUpToBlock(read_chunk), kTextBlock)) {}

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TextFileAccess::Release(TextFile& f) {
  if (f.fd_ >= 0) ::close(f.fd_);
  f.fd_ = -1;
  f.mode_ = TextMode::kClosed;
  f.is_device_ = f.is_regular_ = f.write_failed_ = f.at_physical_end_ = false;
  f.begin_ = f.end_ = 0;
  f.lf_at_ = f.cr_at_ = kNotSearched;
  f.delivered_ = f.examined_ = f.written_ = 0;
  f.line_.clear();
}

void TextFileAccess::Start(TextFile& f, int fd, TextMode mode, const struct stat& st,
                           std::size_t capacity) {
  f.fd_ = fd;
  f.mode_ = mode;
  f.is_device_ = S_ISCHR(st.st_mode);
  f.is_regular_ = S_ISREG(st.st_mode);
  f.buffer_.resize(capacity);
}

// True when the file is open in the wanted mode; else leaves the
// wrong-state code. A file whose write failed is not usable either, but
// without a new code: the failure has been reported once.
bool TextFileAccess::Usable(TextFile& f, TextMode wanted) {
  if (!IsOpen(f)) return false;
  if (f.mode_ != wanted) {
    SetPendingIoCode(wanted == TextMode::kReading ? kNotForReading : kNotForWriting);
    return false;
  }
  return !f.write_failed_;
}

int IoCodeFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return ParentFolderExists(path) ? 2 : 3;
    case ENOTDIR:
    case ENAMETOOLONG:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return 5;
    case ENOSPC:
    case EDQUOT:
      return 112;
    case EIO:
      return 1117;
    default:
      return error;
  }
}

void CheckIoResult() {
  const int code = pending_io_code;
  if (code == 0) return;
  pending_io_code = 0;
  throw EInOutError(code);
}

int PendingIoCode() { return pending_io_code; }

void SetPendingIoCode(int code) { pending_io_code = code; }

// ---- opening and closing -------------------------------------------------

namespace {

// Opens name with flags; the descriptor, or -1 with the code left pending.
int OpenDescriptor(const std::string& name, int flags, struct stat& st) {
  if (name.find('\0') != std::string::npos) {  // the system would see a shorter name
    SetPendingIoCode(3);
    return -1;
  }
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetPendingIoCode(IoCodeFromErrno(errno, name));
    return -1;
  }
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    SetPendingIoCode(IoCodeFromErrno(error, name));
    return -1;
  }
  return fd;
}

}  // namespace

void TextFileAccess::OpenForReading(TextFile& file, const std::string& name) {
  Release(file);
  file.name_ = name;
  struct stat st {};
  const int fd = OpenDescriptor(name, O_RDONLY | O_CLOEXEC, st);
  if (fd < 0) return;
  if (S_ISDIR(st.st_mode)) {  // Linux opens a folder for reading; it is no text file
    ::close(fd);
    SetPendingIoCode(5);
    return;
  }
  Start(file, fd, TextMode::kReading, st, file.read_chunk_);
}

void TextFileAccess::CreateForWriting(TextFile& file, const std::string& name) {
  Release(file);
  file.name_ = name;
  struct stat st {};
  const int fd = OpenDescriptor(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st);
  if (fd < 0) return;
  Start(file, fd, TextMode::kWriting, st, kTextWriteBuffer);
}

void TextFileAccess::Attach(TextFile& file, int fd, const std::string& name) {
  Release(file);
  file.name_ = name;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    SetPendingIoCode(IoCodeFromErrno(errno, name));
    return;
  }
  Start(file, fd, TextMode::kWriting, st, kTextWriteBuffer);
}

void TextFileAccess::Close(TextFile& file) {
  if (!IsOpen(file)) return;
  if (file.mode_ == TextMode::kWriting && !file.write_failed_ && file.end_ > 0) {
    Flush(file);
  }
  // After a failed write the descriptor is closed all the same, so that
  // nothing stays open; the write's code stays the one reported.
  const int error = CloseDescriptor(file.fd_);
  file.fd_ = -1;
  if (error != 0 && !file.write_failed_) SetPendingIoCode(IoCodeFromErrno(error, file.name_));
  Release(file);
}

// ---- reading ---------------------------------------------------------------

// Replaces the consumed buffer with the next chunk. False when no byte came:
// the end of the data, a broken pipe, or a failed read (code pending). A
// regular file is read until the chunk is full, so that every fill but the
// last ends on a block boundary.
bool TextFileAccess::Fill(TextFile& f) {
  if (f.at_physical_end_) return false;
  f.begin_ = f.end_ = 0;
  f.lf_at_ = f.cr_at_ = kNotSearched;
  const std::size_t want = f.buffer_.size();
  while (f.end_ < want) {
    const ssize_t got = ::read(f.fd_, f.buffer_.data() + f.end_, want - f.end_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EPIPE) SetPendingIoCode(IoCodeFromErrno(errno, f.name_));
    if (got <= 0) {
      f.at_physical_end_ = true;
      break;
    }
    f.end_ += static_cast<std::size_t>(got);
    f.delivered_ += static_cast<std::uint64_t>(got);
    if (!f.is_regular_) break;  // a pipe or terminal gives what it has
  }
  return f.end_ > 0;
}

// Buffer index of the next c at or after begin_, end_ when there is none.
std::size_t TextFileAccess::Next(const TextFile& f, char c, std::size_t& cache) {
  if (cache == kNotSearched || cache < f.begin_) {
    const void* hit = std::memchr(f.buffer_.data() + f.begin_, c, f.end_ - f.begin_);
    cache =
        hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - f.buffer_.data()) : f.end_;
  }
  return cache;
}

bool TextFileAccess::AtEnd(TextFile& file) {
  if (!Usable(file, TextMode::kReading)) return true;
  // At the end every byte delivered has been looked at already, so the look
  // past the last one takes no further block.
  if (file.begin_ == file.end_ && !Fill(file)) return true;
  Examine(file, OffsetAfter(file, file.begin_));
  return file.buffer_[file.begin_] == kCtrlZ;
}

std::string_view TextFileAccess::TakeLine(TextFile& f) {
  f.line_.clear();
  bool spanned = false;  // the line began in an earlier fill and is held in line_
  for (;;) {
    if (f.begin_ == f.end_ && !Fill(f)) return f.line_;
    const std::size_t start = f.begin_;
    const std::size_t stop = std::min(Next(f, kLf, f.lf_at_), Next(f, kCr, f.cr_at_));
    const char* data = f.buffer_.data();
    if (stop == f.end_) {  // no terminator in this fill
      f.line_.append(data + start, stop - start);
      spanned = true;
      f.begin_ = f.end_;
      Examine(f, f.delivered_);
      continue;
    }
    f.begin_ = stop + 1;
    Examine(f, OffsetAfter(f, stop));
    std::string_view line(data + start, stop - start);
    if (spanned) line = f.line_.append(line);
    if (data[stop] == kCr) line = SkipLfAfterCr(f, line, spanned);
    return line;
  }
}

// A line ended by CR: an LF right after it belongs to the same line end.
// Looking at that byte may need the next fill, which replaces the buffer
// that line may point into.
std::string_view TextFileAccess::SkipLfAfterCr(TextFile& f, std::string_view line, bool spanned) {
  if (f.begin_ == f.end_) {
    if (!spanned) f.line_.assign(line);
    line = f.line_;
    if (!Fill(f)) return line;
  }
  Examine(f, OffsetAfter(f, f.begin_));
  if (f.buffer_[f.begin_] == kLf) ++f.begin_;
  return line;
}

std::string_view TextFileAccess::ReadLineView(TextFile& file) {
  if (!Usable(file, TextMode::kReading)) return {};
  return TakeLine(file);
}

std::string ReadTextLine(TextFile& file) { return std::string(ReadTextLineView(file)); }

// ---- size and position -------------------------------------------------------

std::int64_t TextFileAccess::SizeInBlocks(TextFile& file) {
  if (!IsOpen(file)) return -1;
  std::uint64_t bytes = file.mode_ == TextMode::kReading ? file.delivered_ : file.written_;
  if (file.is_regular_) {
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0) {
      SetPendingIoCode(IoCodeFromErrno(errno, file.name_));
      return 0;
    }
    bytes = static_cast<std::uint64_t>(st.st_size);
  }
  return static_cast<std::int64_t>(bytes / kTextBlock);
}

// While reading: a reader that takes 128 bytes at a time, and only when it
// must look at a byte it does not hold yet, has taken the examined bytes
// rounded up to a whole block, but never more than the file holds. Fills end
// on block boundaries until the last, so delivered_ bounds that from above.
std::int64_t TextFileAccess::PositionInBlocks(TextFile& file) {
  if (!IsOpen(file)) return -1;
  const std::uint64_t bytes = file.mode_ == TextMode::kReading
                                  ? std::min(RoundUpToBlock(file.examined_), file.delivered_)
                                  : file.written_;
  return static_cast<std::int64_t>(bytes / kTextBlock);
}

// ---- writing -----------------------------------------------------------------

// Hands the collected bytes to the system, looping over partial writes. On
// failure the code is left pending, the bytes are dropped, and the file
// takes no more bytes.
void TextFileAccess::Flush(TextFile& f) {
  std::size_t done = 0;
  while (done < f.end_) {
    const ssize_t put = ::write(f.fd_, f.buffer_.data() + done, f.end_ - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const int error = put < 0 ? errno : ENOSPC;  // a write that takes nothing: no room
      SetPendingIoCode(IoCodeFromErrno(error, f.name_));
      f.write_failed_ = true;
      break;
    }
    done += static_cast<std::size_t>(put);
    f.written_ += static_cast<std::uint64_t>(put);
  }
  f.end_ = 0;
}

void TextFileAccess::Put(TextFile& file, std::string_view text) {
  if (!Usable(file, TextMode::kWriting)) return;
  const std::size_t capacity = file.buffer_.size();
  while (!text.empty()) {
    const std::size_t n = std::min(capacity - file.end_, text.size());
    std::memcpy(file.buffer_.data() + file.end_, text.data(), n);
    file.end_ += n;
    text.remove_prefix(n);
    if (file.end_ == capacity) {
      Flush(file);
      if (file.write_failed_) return;
    }
  }
}

void PutChar(TextFile& file, char c) { PutText(file, std::string_view(&c, 1)); }

void TextFileAccess::EndLine(TextFile& file) {
  PutText(file, "\r\n");
  if (file.mode_ == TextMode::kWriting && file.is_device_ && !file.write_failed_ && file.end_ > 0) {
    Flush(file);
  }
}

void WriteTextLine(TextFile& file, std::string_view text) {
  PutText(file, text);
  EndTextLine(file);
}

// ---- the public operations ---------------------------------------------------

void OpenTextForReading(TextFile& file, const std::string& name) {
  TextFileAccess::OpenForReading(file, name);
}
void CreateTextForWriting(TextFile& file, const std::string& name) {
  TextFileAccess::CreateForWriting(file, name);
}
void AttachTextForWriting(TextFile& file, int fd, const std::string& name) {
  TextFileAccess::Attach(file, fd, name);
}
void CloseText(TextFile& file) { TextFileAccess::Close(file); }
bool TextAtEnd(TextFile& file) { return TextFileAccess::AtEnd(file); }
std::string_view ReadTextLineView(TextFile& file) { return TextFileAccess::ReadLineView(file); }
std::int64_t TextSizeInBlocks(TextFile& file) { return TextFileAccess::SizeInBlocks(file); }
std::int64_t TextPositionInBlocks(TextFile& file) { return TextFileAccess::PositionInBlocks(file); }
void PutText(TextFile& file, std::string_view text) { TextFileAccess::Put(file, text); }
void EndTextLine(TextFile& file) { TextFileAccess::EndLine(file); }

}  // namespace pelmoro

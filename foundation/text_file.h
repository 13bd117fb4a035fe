// Text files read and written line by line.
//
// Operations never throw: a failure leaves a pending I/O code (per thread; a
// later failure replaces an earlier one) that CheckIoResult() turns into an
// EInOutError. The operating system is asked for large chunks, but what a
// caller observes is counted in 128-byte text blocks as if read and written
// through a 128-byte buffer: the size, the reading position, and an output
// file that holds only whole 128-byte blocks until it is closed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/errors.h"

namespace pelmoro {

inline constexpr int kTextBlock = 128;

// The blocks of kTextBlock bytes that a reader taking a block at a time
// has taken once it has looked at the bytes before `end`, of a file of
// `size` bytes: end rounded up to a whole block, never past the last whole
// block of the file (a stream, size 0, has taken none). Both STL readers
// count their progress by it. Inline: it runs after every triangle.
inline std::int64_t BlocksTaken(std::uint64_t end, std::uint64_t size) {
  const std::uint64_t rounded = (end + kTextBlock - 1) / kTextBlock * kTextBlock;
  return static_cast<std::int64_t>(std::min(rounded, size) / kTextBlock);
}
// Bytes asked of the operating system per read by default (a multiple of
// kTextBlock).
inline constexpr std::size_t kTextReadChunk = 256 * 1024;
// Bytes collected before a write to a file (a multiple of kTextBlock).
inline constexpr std::size_t kTextWriteBuffer = 64 * 1024;

enum class TextMode { kClosed, kReading, kWriting };

class TextFile {
 public:
  TextFile() = default;
  // Reads ask the operating system for read_chunk bytes, rounded up to a
  // multiple of kTextBlock; small values make buffer refills frequent, which
  // changes nothing that a caller can observe.
  explicit TextFile(std::size_t read_chunk);
  ~TextFile();  // releases the handle; bytes still buffered for writing are dropped
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  TextMode mode() const { return mode_; }
  const std::string& name() const { return name_; }
  bool is_device() const { return is_device_; }
  bool is_regular() const { return is_regular_; }

 private:
  friend struct TextFileAccess;
  friend std::future<int> TakeTextFlush(TextFile& file);
  int fd_ = -1;
  TextMode mode_ = TextMode::kClosed;
  std::string name_;
  bool is_device_ = false;  // character device: written out at every line end
  bool is_regular_ = false;
  bool write_failed_ = false;  // after a failed write nothing more is written
  std::size_t read_chunk_ = kTextReadChunk;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // reading: next unread byte in buffer_
  std::size_t end_ = 0;    // reading: bytes held; writing: bytes collected
  // Reading: index of the next LF / CR at or after begin_ (end_ when there is
  // none in the buffer; npos when not yet searched), so that no byte is
  // searched twice even when one of the two never occurs.
  std::size_t lf_at_ = std::string::npos;
  std::size_t cr_at_ = std::string::npos;
  bool at_physical_end_ = false;
  bool given_up_ = false;             // an open or read was given up after a signal
  std::uint64_t delivered_ = 0;       // bytes the OS has delivered (reading)
  std::uint64_t examined_ = 0;        // bytes of the file looked at so far (reading)
  std::uint64_t written_ = 0;         // bytes handed to the OS (writing)
  std::uint64_t writeback_mark_ = 0;  // written_ when writeback was last started
  bool sync_while_writing_ = false;   // flushes to the disk started as the file grows
  std::future<int> syncing_;          // the flush under way: its errno, or 0
  std::uint64_t sync_mark_ = 0;       // written_ when that flush was started
  std::string line_;                  // a line that spans two buffer fills
};

// Each open starts from a fresh state; a file still open is released first
// (as by the destructor: bytes buffered for writing are dropped).

// Opens an existing file for reading. Pending code on failure (a folder
// gives 5).
void OpenTextForReading(TextFile& file, const std::string& name);
// Creates or empties a file for writing (mode 0666 under the umask).
// Pending code on failure.
void CreateTextForWriting(TextFile& file, const std::string& name);
// Takes over an already open descriptor for writing: the file is not
// emptied, and CloseText closes the descriptor. name is used for messages.
void AttachTextForWriting(TextFile& file, int fd, const std::string& name);

// True when no more data can be read: the physical end, or a Ctrl-Z (byte
// 26) where the next line would begin. A broken pipe counts as the end; a
// failed read leaves its code and counts as the end. Consumes nothing.
// Not open for reading: true, pending 103 or 104.
bool TextAtEnd(TextFile& file);
// After TextAtEnd gave true: whether a Ctrl-Z ended the data (rather than
// the physical end), and how many bytes follow that Ctrl-Z unread. For a
// pipe or device those bytes are read to the end to be counted. A failed
// read leaves its code. Consume nothing that a later line could take.
bool TextEndedAtCtrlZ(TextFile& file);
std::uint64_t TextBytesAfterCtrlZ(TextFile& file);
// The next line without its terminator, which is consumed: LF, CR LF, or a
// CR not followed by LF. A last line without terminator comes whole; at the
// end the text is empty. A Ctrl-Z inside a line is an ordinary character.
// Not open for reading: empty, pending 103 or 104.
std::string ReadTextLine(TextFile& file);
// As ReadTextLine, without copying when the line lies in one buffer fill;
// the view stays valid only until the next operation on the file.
std::string_view ReadTextLineView(TextFile& file);

// Up to `bytes` raw bytes from the reading position on (what a line read
// left buffered first), fewer only at the end of the data: a reader that
// cuts lines itself. Reads as ReadTextLine does (a broken pipe ends the
// data, a failed read leaves its code); the bytes count as taken.
std::size_t ReadTextBytes(TextFile& file, char* into, std::size_t bytes);

// The file's size in bytes / 128 (for a pipe or device: the bytes read or
// written so far / 128); -1 (pending 103) when not open.
std::int64_t TextSizeInBlocks(TextFile& file);
// The same in bytes.
std::int64_t TextSizeInBytes(TextFile& file);
// Reading: the bytes a reader taking 128 bytes at a time would have taken
// so far / 128. Writing: bytes handed to the system / 128. -1 (pending 103)
// when not open.
std::int64_t TextPositionInBlocks(TextFile& file);

// For a file that will be flushed to the disk once complete (an output
// about to be given its name): as a regular file grows, flushes of what it
// holds so far are started on a thread of their own, one at a time, so that
// the disk keeps up with the writing and the final flush has only the last
// part to wait for. A failed flush counts as a failed write, reported at a
// later write or at the close. Nothing for devices and pipes.
void SyncTextWhileWriting(TextFile& file);
// The flush such a file started last, which may still be under way, handed
// over to the caller (its errno, or 0), so that closing the file need not
// wait for it; an invalid future when there is none. A caller that takes
// it must report its failure: the system reports a failed write-out once.
std::future<int> TakeTextFlush(TextFile& file);

// Appending to a file open for writing (else pending 103 or 105). Bytes go
// out in whole buffers of a multiple of 128 bytes, and, on a character
// device, at every line end. After a failed write (its code pending) the
// file takes no more bytes.
void PutText(TextFile& file, std::string_view text);
void PutChar(TextFile& file, char c);
void EndTextLine(TextFile& file);  // CR LF
// PutText, then EndTextLine.
void WriteTextLine(TextFile& file, std::string_view text);
// Writing: writes out what is buffered, then closes; after a failed write
// the descriptor is closed all the same, the write's code staying the one
// pending. A failed close leaves its code. Not open: pending 103.
void CloseText(TextFile& file);

// Raises EInOutError for the pending code, with what the system said, and
// clears it; else does nothing.
void CheckIoResult();
// The pending code (0 for none) and the system's side of it, left pending.
int PendingIoCode();
IoFailure PendingIoFailure();
// Leaves code pending (replacing one already pending); 0 clears.
void SetPendingIoCode(int code, IoFailure failure = {});
// Leaves pending the code IoCodeFromErrno gives for error on path.
void SetPendingIoFailure(IoOperation operation, int error, const std::string& path);
// The error a failed operation on path raises at once.
EInOutError IoErrorFromErrno(IoOperation operation, int error, const std::string& path);

// A call blocked in the system (an open or read of a pipe or terminal, a
// write to a full pipe) that a signal interrupted.
enum class InterruptedCall { kOpen, kRead, kWrite };
// Asked on every interruption whether the call is given up, and before
// every open and every read of a pipe or device (a signal just before the
// call would not interrupt it); null (the default) retries every
// interrupted call. The front end sets it once, and it must be
// async-signal-safe in what it reads. A read given up counts as
// the end of the data; an open for reading given up leaves the file open at
// its end (it reads as empty); an open for writing or a write given up
// leaves the code 995 (operation aborted).
using GiveUpInterruptedCall = bool (*)(InterruptedCall call);
void SetInterruptionCheck(GiveUpInterruptedCall check);
// True when the check says the interrupted call is given up.
bool GiveUpAfterInterruption(InterruptedCall call);
// True when an open or a read of this file was given up after a signal:
// its data ended there, not at its end.
bool TextReadingGivenUp(const TextFile& file);

inline constexpr int kAbortedIoCode = 995;

// The I/O code for an errno value of a failed file operation on path:
// 2 missing file, 3 missing folder, 4 too many open files, 5 access denied,
// 112 disk full, 995 interrupted, 1117 device error, otherwise the errno value itself.
int IoCodeFromErrno(int error, const std::string& path);

}  // namespace pelmoro

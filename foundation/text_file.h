// Text files: read as raw bytes (the readers cut lines themselves), written
// line by line.
//
// Operations never throw: a failure leaves a pending I/O code (per thread; a
// later failure replaces an earlier one) that CheckIoResult() turns into an
// EInOutError. Sizes and positions are counted in 128-byte text blocks, and
// an output file holds only whole 128-byte blocks until it is closed, as if
// written through a 128-byte buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/errors.h"
#include "os/env.h"

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
// Bytes a reader asks for at a time (a multiple of kTextBlock).
inline constexpr std::size_t kTextReadChunk = 256 * 1024;
// Bytes collected before a write to a file (a multiple of kTextBlock).
inline constexpr std::size_t kTextWriteBuffer = 64 * 1024;

enum class TextMode { kClosed, kReading, kWriting };

class TextFile {
 public:
  TextFile() = default;
  ~TextFile();  // releases the handle; bytes still buffered for writing are dropped
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  TextMode mode() const { return mode_; }
  const std::string& name() const { return name_; }
  bool is_device() const { return is_device_; }
  bool is_terminal() const { return is_terminal_; }
  bool is_regular() const { return is_regular_; }

 private:
  friend struct TextFileAccess;
  friend std::future<int> TakeTextFlush(TextFile& file);
  FileHandle fd_ = kNoFile;
  TextMode mode_ = TextMode::kClosed;
  std::string name_;
  bool is_device_ = false;    // a character device
  bool is_terminal_ = false;  // a terminal: written out at every line end
  bool is_regular_ = false;
  bool write_failed_ = false;  // after a failed write nothing more is written
  std::vector<char> buffer_;   // writing: the bytes collected
  std::size_t end_ = 0;        // writing: bytes collected
  bool at_physical_end_ = false;
  bool given_up_ = false;             // an open or read was given up after a signal
  std::uint64_t delivered_ = 0;       // bytes the OS has delivered (reading)
  std::uint64_t written_ = 0;         // bytes handed to the OS (writing)
  std::uint64_t writeback_mark_ = 0;  // written_ when writeback was last started
  bool sync_while_writing_ = false;   // flushes to the disk started as the file grows
  std::future<int> syncing_;          // the flush under way: its errno, or 0
  std::uint64_t sync_mark_ = 0;       // written_ when that flush was started
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
void AttachTextForWriting(TextFile& file, FileHandle fd, const std::string& name);

// Up to `bytes` raw bytes from the reading position on. A regular file
// gives fewer only at the end of its data; a pipe or device gives what one
// read brings. 0 at the end: the physical end, a broken pipe, a read given
// up after a signal, or a failed read (its code left pending). Not open for
// reading: 0, pending 103 or 104. The bytes count as taken.
std::size_t ReadTextBytes(TextFile& file, char* into, std::size_t bytes);

// The file's size in bytes / 128 (for a pipe or device: the bytes read or
// written so far / 128); -1 (pending 103) when not open.
std::int64_t TextSizeInBlocks(TextFile& file);
// The same in bytes.
std::int64_t TextSizeInBytes(TextFile& file);
// Reading: the bytes taken so far / 128. Writing: bytes handed to the
// system / 128. -1 (pending 103) when not open.
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
// out in whole buffers of a multiple of 128 bytes (to a file, a pipe or a
// device alike), and, on a terminal, at every line end as well: someone
// is reading there. After a failed write (its code pending) the
// file takes no more bytes.
void PutText(TextFile& file, std::string_view text);
void PutChar(TextFile& file, char c);
void EndTextLine(TextFile& file);  // CR LF
// PutText, then EndTextLine.
void WriteTextLine(TextFile& file, std::string_view text);
// Writing: the bytes taken so far, handed to the system or still buffered;
// 0 when not open for writing.
std::uint64_t TextBytesTaken(const TextFile& file);
// Writing: takes back every byte taken after the first `bytes` (at most
// TextBytesTaken): those still buffered are dropped, and a regular file is
// cut back to `bytes`. What a device or pipe was sent stays sent: false
// then, and when the cut fails (its code pending, the file taking no more
// bytes).
bool TakeTextBackTo(TextFile& file, std::uint64_t bytes);
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

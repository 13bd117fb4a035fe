// Text files read and written line by line.
//
// Operations never throw: a failure leaves a pending I/O code (per thread; a
// later failure replaces an earlier one) that CheckIoResult() turns into an
// EInOutError. The operating system is asked for large chunks, but every
// observable result is that of a reader and writer working through a
// 128-byte buffer ("text block"): the block size and position, and an output
// file that holds only whole 128-byte blocks until it is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmoro {

inline constexpr int kTextBlock = 128;

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

 private:
  friend struct TextFileAccess;
  int fd_ = -1;
  TextMode mode_ = TextMode::kClosed;
  std::string name_;
  bool is_device_ = false;  // character device: written out at every line end
  bool write_failed_ = false;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // reading: next unread byte in buffer_
  std::size_t end_ = 0;    // reading: bytes held; writing: bytes collected
  bool at_physical_end_ = false;
  std::uint64_t delivered_ = 0;  // bytes the OS has delivered (reading)
  std::uint64_t examined_ = 0;   // bytes of the file looked at so far (reading)
  std::uint64_t written_ = 0;    // bytes handed to the OS (writing)
  std::string line_;             // a line that spans two buffer fills
};

// Opens an existing file for reading. Pending code on failure.
void OpenTextForReading(TextFile& file, const std::string& name);
// Creates or empties a file for writing. Pending code on failure.
void CreateTextForWriting(TextFile& file, const std::string& name);
// Takes over an already open descriptor for writing (the file is not
// emptied). name is used for messages only.
void AttachTextForWriting(TextFile& file, int fd, const std::string& name);

// True when no more data can be read: the physical end, or a Ctrl-Z (byte
// 26) where the next line would begin. A broken pipe counts as the end.
bool TextAtEnd(TextFile& file);
// The next line without its terminator (LF, CR LF or a lone CR).
std::string ReadTextLine(TextFile& file);
// As ReadTextLine, but the view stays valid only until the next operation
// on the file.
std::string_view ReadTextLineView(TextFile& file);

// The file's size in bytes / 128; -1 (pending 103) when not open.
std::int64_t TextSizeInBlocks(TextFile& file);
// Bytes a 128-byte reader would have taken from the file so far / 128
// (reading), or bytes on disk / 128 (writing); -1 (pending 103) when not open.
std::int64_t TextPositionInBlocks(TextFile& file);

void PutText(TextFile& file, std::string_view text);
void PutChar(TextFile& file, char c);
void EndTextLine(TextFile& file);  // CR LF
void WriteTextLine(TextFile& file, std::string_view text);
// Writing: writes out the buffer, then closes (stays open with the code
// pending when that write fails). Reading: closes.
void CloseText(TextFile& file);

// Raises EInOutError for the pending code and clears it; else does nothing.
void CheckIoResult();
// The pending code (0 for none), left pending.
int PendingIoCode();
// Leaves code pending (replacing one already pending); 0 clears.
void SetPendingIoCode(int code);

// The I/O code for an errno value of a failed file operation on path:
// 2 missing file, 3 missing folder, 4 too many open files, 5 access denied,
// 112 disk full, 1117 device error, otherwise the errno value itself.
int IoCodeFromErrno(int error, const std::string& path);

}  // namespace pelmoro

// The output file of a run, written so that no run destroys the user's data
// and none leaves a file behind: the text goes to a replacement beside the
// target (Env::CreateReplacement: an unnamed file, or one that is removed
// however the process ends), which is given the target's name only when
// the run is committed. A target that is a descriptor the process holds
// (/dev/stdout), a character device or a pipe is written directly.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>

#include "foundation/errors.h"
#include "foundation/text_file.h"
#include "os/env.h"
#include "outputs/files/disk_space.h"

namespace pelmoro {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // abandons an uncommitted output
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Checks that the target can be written and opens the temporary file (or
  // the device, or a duplicate of the descriptor). Raises EInOutError as
  // creating the target itself would: 3 for a missing folder, 5 for a
  // target or folder that cannot be written; ELOOP's code for a link loop.
  void Create(const std::string& target);
  // Writes directly to a copy of standard stream `stream` (standard
  // output), which stays open after the commit; name is used for messages.
  void CreateOnStream(int stream, const std::string& name);
  TextFile& text() { return text_; }
  // The room the output takes on its filesystem when it will hold at least
  // `bytes` bytes (RequireSpaceFor checks it). Nothing for devices and
  // pipes, which have no such limit.
  std::optional<SpaceClaim> ClaimSpace(std::uint64_t bytes) const;
  // Closes the text (raising its I/O error), waits until it is on the disk
  // and gives it the target's name. while_waiting, when given, is called
  // about every 10 ms meanwhile (a window keeps handling its messages); what
  // it raises passes out, and the output is then abandoned.
  void Commit(const std::function<void()>& while_waiting = {});
  // The two halves of Commit, for committing several outputs together:
  // every file reaches the disk first, and only then do the names change.
  void Flush(const std::function<void()>& while_waiting = {});
  // The start of Flush, for an output complete before the others: closes
  // the text (raising its I/O error) and starts getting the file onto the
  // disk on a thread of its own, while the caller goes on. Flush then
  // waits for it.
  void StartFlush();
  void Publish();
  // Closes and drops the temporary file; never throws.
  void Abandon() noexcept;
  const std::string& target() const { return target_; }
  // The named temporary file; empty when there is none (an unnamed file, a
  // device, a descriptor).
  const std::string& temporary() const { return replacement_.temporary; }
  // True while the output is a replacement that vanishes however the
  // process ends (an unnamed file).
  bool unnamed() const { return replaced_ && replacement_.vanishes; }
  // True while the output is written directly (a device, a pipe, a
  // descriptor): what it took has left the program, nothing to take back.
  bool direct() const { return open_ && !replaced_; }

 private:
  void CreateReplacement(const OutputTarget& resolved);
  void AttachDuplicate(FileHandle file);
  void Fail(int code, const IoFailure& failure = {});  // abandons and raises code, unless it is 0

  TextFile text_;
  std::string target_;
  bool replaced_ = false;      // written to replacement_, not directly
  Replacement replacement_;    // its file is the file itself
  FileHandle file_ = kNoFile;  // the file itself, for the flush and its free space
  bool open_ = false;
  bool closed_ = false;       // the text is closed and the file on its way to the disk
  bool flushed_ = false;      // closed and on the disk, not yet given its name
  std::future<int> grown_;    // the text's last flush as it grew: its errno, or 0
  std::future<int> on_disk_;  // the fsync under way: its errno, or 0
};

}  // namespace pelmoro

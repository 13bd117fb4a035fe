// The output file of a run, written so that no run destroys the user's data:
// the text goes to a temporary file in the target's folder, which replaces
// the target only when the run is committed. A target that is a character
// device or a pipe is written directly.
#pragma once

#include <functional>
#include <string>

#include "foundation/text_file.h"

namespace pelmoro {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // abandons an uncommitted output
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Checks that the target can be written and opens the temporary file (or
  // the device). Raises EInOutError as creating the target itself would:
  // 3 for a missing folder, 5 for a target or folder that cannot be written.
  void Create(const std::string& target);
  // Writes directly to a copy of an open descriptor (standard output),
  // which stays open after the commit; name is used for messages.
  void CreateOnDescriptor(int fd, const std::string& name);
  TextFile& text() { return text_; }
  // Closes the text (raising its I/O error), waits until it is on the disk
  // and moves it over the target. while_waiting, when given, is called about
  // every 10 ms meanwhile (a window keeps handling its messages); what it
  // raises passes out, and the output is then abandoned.
  void Commit(const std::function<void()>& while_waiting = {});
  // The two halves of Commit, for committing several outputs together:
  // every file reaches the disk first, and only then do the names change.
  void Flush(const std::function<void()>& while_waiting = {});
  void Publish();
  // Closes and removes the temporary file; never throws.
  void Abandon() noexcept;
  const std::string& target() const { return target_; }
  const std::string& temporary() const { return temp_; }

 private:
  TextFile text_;
  std::string target_;
  std::string destination_;  // the target with symbolic links followed
  std::string temp_;  // empty when writing the target directly
  bool open_ = false;
  bool flushed_ = false;  // closed and on the disk, not yet renamed

  void Fail(int code, const IoFailure& failure = {});  // abandons and raises code, unless it is 0
};

}  // namespace pelmoro

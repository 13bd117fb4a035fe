// OpenDialog1 and SaveDialog1: the system's file dialogs, each remembering
// the last name confirmed in it.
#pragma once

#include <windows.h>

#include <string>

namespace pelmoro::winapp {

class FileDialog {
 public:
  enum class Kind { kOpen, kSave };
  // filter: the one filter, "STL|*.stl" as a description and a pattern.
  FileDialog(Kind kind, std::wstring description, std::wstring pattern);

  // The name proposed at the next showing (UTF-8).
  void SetFileName(const std::string& name) { name_ = name; }
  const std::string& FileName() const { return name_; }

  // Shows the dialog owned by owner; true with the confirmed name (UTF-8,
  // a full path, exactly as typed or picked) in FileName(), false when the
  // user cancelled. The arithmetic's settings are the same afterwards.
  bool Execute(HWND owner);

 private:
  Kind kind_;
  std::wstring filter_;  // description \0 pattern \0 \0
  std::string name_;
};

}  // namespace pelmoro::winapp

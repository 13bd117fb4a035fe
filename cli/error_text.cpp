#include "cli/error_text.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/catalog.h"
#include "foundation/text.h"
#include "outputs/files/disk_space.h"
#include "run/map_outputs.h"
#include "run/message_templates.h"
#include "run/messages.h"

namespace pelmoro::cli {

std::string TranslateMessage(const std::string& message) {
  return pelmoro::TranslateMessage(message, [](const char* id) { return Translate(id); });
}

namespace {

// "a", "a and b", "a, b and c", in the catalog's words.
std::string NameList(const std::vector<std::string>& names) {
  if (names.empty()) return "";
  std::string text = names.back();
  for (std::size_t k = names.size() - 1; k-- > 0;) {
    text = k + 2 == names.size()
               ? Translate("{first} and {last}", {{"first", names[k]}, {"last", text}})
               : Translate("{first}, {rest}", {{"first", names[k]}, {"rest", text}});
  }
  return text;
}

// A full disk names every output on it: the list is worded here, from the
// names themselves.
std::string SpaceText(const ENotEnoughSpace& error) {
  return pelmoro::TranslateMessage(error.message(), [](const char* id) { return Translate(id); },
                                   {{"files", NameList(error.targets())}});
}

}  // namespace

std::string ForTerminal(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

namespace {

std::string Place(const std::string& file, std::int64_t line) {
  return line > 0 ? file + ":" + std::to_string(line) + ": " : file + ": ";
}

std::string Action(IoOperation operation, const std::string& file) {
  switch (operation) {
    case IoOperation::kOpen:
      return Translate("cannot open {file}", {{"file", file}});
    case IoOperation::kCreate:
      return Translate("cannot create {file}", {{"file", file}});
    case IoOperation::kRead:
      return Translate("cannot read {file}", {{"file", file}});
    case IoOperation::kWrite:
    case IoOperation::kClose:
      return Translate("cannot write {file}", {{"file", file}});
    case IoOperation::kNone:
      break;
  }
  return Translate("cannot use {file}", {{"file", file}});
}

// The English text for the reason behind I/O code 3 or 5.
const char* FolderReason(int system_error) {
  switch (system_error) {
    case ENOENT:
      return N_("{action}: folder does not exist");
    case ENOTDIR:
      return N_("{action}: a part of its path is not a folder");
    case ENAMETOOLONG:
      return N_("{action}: the name is too long");
    case 0:
      return N_("{action}: the name holds a 0 byte");
    default:
      return N_("{action}: invalid file name");
  }
}

const char* AccessReason(int system_error) {
  switch (system_error) {
    case EISDIR:
      return N_("{action}: it is a folder");
    case EROFS:
      return N_("{action}: read-only file system");
    default:
      return N_("{action}: permission denied");
  }
}

// The message is chosen by the I/O code, which decides the converter's own
// text (what a catalog that gives those texts needs), and worded after the
// system's errno within it.
std::string IoErrorLine(const EInOutError& error, const std::string& file) {
  const IoFailure& failure = error.failure();
  const int why = failure.system_error;
  const std::string action = Action(failure.operation, file);
  const std::string code = std::to_string(error.code());
  const std::string reason = why != 0 ? std::strerror(why) : "";
  const Fields fields{{"action", action}, {"file", file}, {"code", code}, {"reason", reason}};
  switch (error.code()) {
    case 2:
      return Translate("{action}: no such file", fields);
    case 3:
      return Translate(FolderReason(why), fields);
    case 4:
      return Translate("{action}: too many open files", fields);
    case 5:
      return Translate(AccessReason(why), fields);
    case 100:
      return Translate("{action}: read past the end of the file", fields);
    case 101:
      return Translate("{action}: disk full", fields);
    case 106:
      return Translate("{action}: not a number", fields);
    case 112:
      return Translate("disk full while writing {file} ({reason})", fields);
    default:
      break;
  }
  if (why != 0) return Translate("{action}: {reason}", fields);
  return Translate("{action}: I/O error {code}", fields);
}

// Floating-point errors in their own words; nullptr for other errors.
const char* MathText(const Exception& error) {
  if (dynamic_cast<const EInvalidOp*>(&error)) return N_("invalid floating-point operation");
  if (dynamic_cast<const EZeroDivide*>(&error)) return N_("floating-point division by zero");
  if (dynamic_cast<const EOverflow*>(&error)) return N_("floating-point overflow");
  return nullptr;
}

}  // namespace

std::string ErrorLine(const Exception& error, const std::string& file_name) {
  // A name with a line end in it would split the line: such names are quoted.
  const std::string file = FileNameForMessages(file_name);
  if (const auto* output = dynamic_cast<const EOutputError*>(&error)) {
    if (output->io_error() != nullptr) return IoErrorLine(*output->io_error(), file);
  }
  if (const auto* io = dynamic_cast<const EInOutError*>(&error)) return IoErrorLine(*io, file);
  const std::string place = Place(file, error.line());
  const auto* convert = dynamic_cast<const EConvertError*>(&error);
  if (convert != nullptr && convert->has_text()) {
    return place + Translate("'{text}' is not a number", {{"text", convert->text()}});
  }
  if (const char* math = MathText(error)) return place + Translate(math);
  if (const auto* space = dynamic_cast<const ENotEnoughSpace*>(&error)) {
    return place + ForTerminal(ErrorBoxText(SpaceText(*space)));
  }
  // The converter's own messages (files that are no STL file, a coordinate
  // out of range, ...) in the catalog's words where it has them.
  return place + ForTerminal(ErrorBoxText(TranslateMessage(error.message())));
}

std::vector<std::string> WarningLines(const std::string& file_name, const ReadingNotes& notes,
                                      std::int32_t triangles) {
  const std::string file = FileNameForMessages(file_name);
  struct Warning {
    bool given;
    std::int64_t line;  // 0: the file as a whole
    std::string text;
  };
  const Warning warnings[] = {
      {notes.bytes_after_ctrl_z > 0, notes.ctrl_z_line,
       TranslatePlural("warning: reading ended at a Ctrl-Z byte; the {count} byte after it was "
                       "not read",
                       "warning: reading ended at a Ctrl-Z byte; the {count} bytes after it "
                       "were not read",
                       notes.bytes_after_ctrl_z)},
      {notes.leftover_vertices > 0, notes.last_vertex_line,
       TranslatePlural("warning: the input ends with {count} vertex of an incomplete triangle, "
                       "which was left out",
                       "warning: the input ends with {count} vertices of an incomplete "
                       "triangle, which were left out",
                       static_cast<std::uint64_t>(notes.leftover_vertices))},
      {notes.missing_endsolid, 0,
       Translate("warning: no \"endsolid\" line after the last facet; the file is probably "
                 "truncated")},
      {triangles == 0, 0, Translate("warning: no triangles in this model; its height map is flat")},
  };
  std::vector<std::string> lines;
  for (const Warning& warning : warnings) {
    if (warning.given) lines.push_back(Place(file, warning.line) + warning.text);
  }
  return lines;
}

}  // namespace pelmoro::cli

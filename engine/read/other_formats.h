// Files that are no STL file, told by their first bytes, so that a refusal
// can say what the file is: images, documents, archives, other model
// formats, and text in an encoding the STL reader does not read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmoro {

// What the head (a file's first bytes) shows the file to be, as the end of
// "not an STL file: ..." ("it begins like a PNG image"); nothing when it
// shows none of the kinds known here. Told apart:
// - by their signatures: PNG, JPEG, PDF, gzip, and ZIP archives, among them
//   3MF models (whose first entry is "[Content_Types].xml", or which name
//   "3D/3dmodel.model" early on);
// - PLY models ("ply" on the first line) and OFF models ("OFF", "COFF",
//   "NOFF", "STOFF" or "4OFF" as the first word, then a line end or blank);
// - UTF-16 and UTF-32 text: by a byte-order mark, or without one by the
//   zero bytes ASCII text has in those encodings (every other byte, or
//   three bytes of every four, and none of the others).
std::optional<std::string> RecogniseOtherFormat(std::string_view head);

}  // namespace pelmoro

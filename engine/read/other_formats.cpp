#include "engine/read/other_formats.h"

#include <cstddef>
#include <cstdint>

namespace pelmoro {

namespace {

struct Signature {
  std::string_view bytes;
  const char* what;
};

constexpr Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n", "it begins like a PNG image"},
    {"\xFF\xD8\xFF", "it begins like a JPEG image"},
    {"%PDF-", "it begins like a PDF document"},
    {"\x1F\x8B", "it begins like a gzip-compressed file; unpack it first"},
};

bool BeginsWith(std::string_view head, std::string_view prefix) {
  return head.substr(0, prefix.size()) == prefix;
}

// A ZIP archive: a 3MF model when its first entry is the content types
// list every 3MF package begins with, or it names the model part.
std::optional<std::string> RecogniseZip(std::string_view head) {
  if (!BeginsWith(head, "PK\x03\x04")) return std::nullopt;
  constexpr std::string_view kContentTypes = "[Content_Types].xml";
  const bool content_types_first =
      head.size() >= 30 && head.substr(30, kContentTypes.size()) == kContentTypes;
  if (content_types_first || head.find("3D/3dmodel.model") != std::string_view::npos) {
    return "it looks like a 3MF model (a ZIP archive); export it as STL";
  }
  return "it begins like a ZIP archive (a 3MF model is one)";
}

bool IsLineEndOrBlank(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

// "ply" alone on its first line, or an OFF keyword as the first word.
std::optional<std::string> RecogniseModelText(std::string_view head) {
  if (BeginsWith(head, "ply") && head.size() > 3 && (head[3] == '\n' || head[3] == '\r')) {
    return "it looks like a PLY model; export it as STL";
  }
  for (std::string_view off : {"OFF", "COFF", "NOFF", "STOFF", "4OFF", "CNOFF"}) {
    if (BeginsWith(head, off) && head.size() > off.size() && IsLineEndOrBlank(head[off.size()])) {
      return "it looks like an OFF model; export it as STL";
    }
  }
  return std::nullopt;
}

// Of the first `bytes` bytes of head (whole units of `unit` bytes): the
// byte at position `text` of each unit is printable ASCII or a line end
// or tab, and every other byte is zero.
bool LooksLikeWideAscii(std::string_view head, std::size_t unit, std::size_t text) {
  constexpr std::size_t kLookedAt = 64;
  const std::size_t n = std::min(head.size(), kLookedAt) / unit * unit;
  if (n < 4 * unit) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(head[i]);
    if (i % unit != text) {
      if (c != 0) return false;
    } else if (!(c == '\t' || c == '\n' || c == '\r' || (c >= 32 && c < 127))) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> RecogniseWideText(std::string_view head) {
  const char* kAdvice = "; save it as ASCII or UTF-8";
  // UTF-32 first: its little-endian mark begins with UTF-16's.
  if (BeginsWith(head, std::string_view("\xFF\xFE\0\0", 4)) ||
      BeginsWith(head, std::string_view("\0\0\xFE\xFF", 4)) || LooksLikeWideAscii(head, 4, 0) ||
      LooksLikeWideAscii(head, 4, 3)) {
    return std::string("it looks like UTF-32 text") + kAdvice;
  }
  if (BeginsWith(head, "\xFF\xFE") || BeginsWith(head, "\xFE\xFF") ||
      LooksLikeWideAscii(head, 2, 0) || LooksLikeWideAscii(head, 2, 1)) {
    return std::string("it looks like UTF-16 text") + kAdvice;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> RecogniseOtherFormat(std::string_view head) {
  for (const Signature& s : kSignatures) {
    if (BeginsWith(head, s.bytes)) return s.what;
  }
  if (auto zip = RecogniseZip(head)) return zip;
  if (auto model = RecogniseModelText(head)) return model;
  return RecogniseWideText(head);
}

}  // namespace pelmoro

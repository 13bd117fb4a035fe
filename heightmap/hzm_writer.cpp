#include "heightmap/hzm_writer.h"

#include "foundation/numbers.h"

namespace pelmoro {

void WriteHeightMapHeader(TextFile& out) {
  WriteTextLine(out, "VERSION=6");
  CheckIoResult();
  // Lines 2 to 7 are one character each; the last "S" ends the header.
  for (char c : {'T', 'O', 'O', 'L', '1', 'S'}) {
    PutChar(out, c);
    EndTextLine(out);
    CheckIoResult();
  }
}

void AppendPointLine(std::string& out, std::int32_t x, std::int32_t y, std::int32_t z) {
  char line[3 * 11 + 4];
  int n = FormatIntegerTo(line, x);
  line[n++] = ',';
  n += FormatIntegerTo(line + n, y);
  line[n++] = ',';
  n += FormatIntegerTo(line + n, z);
  line[n++] = '\r';
  line[n++] = '\n';
  out.append(line, static_cast<std::size_t>(n));
}

void HzmRowSink::FormatRow(std::int32_t y, std::int32_t x0, int pitch,
                           std::span<const std::int32_t> heights, std::string& out) const {
  std::int64_t x = x0;
  for (std::int32_t z : heights) {
    AppendPointLine(out, static_cast<std::int32_t>(x), y, z);
    x += pitch;
  }
  out.append("S\r\n");
}

void HzmRowSink::WriteRow(std::string_view text) {
  if (!out_.is_device()) {
    PutText(out_, text);
    CheckIoResult();
    return;
  }
  // A terminal or other character device sees every line as it ends.
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end - 1;
    PutText(out_, text.substr(0, length));
    EndTextLine(out_);
    CheckIoResult();
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

}  // namespace pelmoro

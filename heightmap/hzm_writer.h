// The HZM height-map file: a seven-line header, then for every row one
// "x,y,z" line per grid point and the row-end line "S". CR LF everywhere.
#pragma once

#include "engine/height_map_scan.h"
#include "foundation/text_file.h"

namespace pelmoro {

// Writes the seven header lines, each followed by the I/O result test.
void WriteHeightMapHeader(TextFile& out);

// Appends "x,y,z" CR LF to out.
void AppendPointLine(std::string& out, std::int32_t x, std::int32_t y, std::int32_t z);

// Formats rows as point lines and row-end lines and writes them to a text
// file opened for writing.
class HzmRowSink : public RowSink {
 public:
  explicit HzmRowSink(TextFile& out) : out_(out) {}
  void FormatRow(std::int32_t y, std::int32_t x0, int pitch,
                 std::span<const std::int32_t> heights, std::string& out) const override;
  void WriteRow(std::string_view text) override;

 private:
  TextFile& out_;
};

}  // namespace pelmoro

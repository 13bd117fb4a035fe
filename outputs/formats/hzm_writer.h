// The HZM height-map file: a seven-line header, then for every row one
// "x,y,z" line per grid point and the row-end line "S". CR LF everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/scan/row_sink.h"
#include "foundation/text_file.h"
#include "outputs/formats/map_output.h"

namespace pelmoro {

// Writes the seven header lines, each followed by the I/O result test.
void WriteHeightMapHeader(TextFile& out);

// The point lines of a piece ("x,y,z" CR LF, all in grid units) and, when
// the piece ends its row, the row-end line.
class HzmFormatter : public RowFormatter {
 public:
  void FormatPiece(const Lattice& lattice, const RowPiece& piece, RowText& out) const override;
  std::size_t MaxBytesPerPoint() const override;
};

// The body of an HZM file, written to a text file opened for writing (the
// header is already there).
class HzmWriter : public RowSink {
 public:
  explicit HzmWriter(TextFile& out) : out_(out) {}
  HzmWriter(const HzmWriter&) = delete;
  HzmWriter& operator=(const HzmWriter&) = delete;

  std::span<const RowFormatter* const> formatters() const override { return {&formatter_, 1}; }
  // Writes the text of the piece; raises the I/O error of a failed write.
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override;
  // Takes back the text of the row so far (what a device or pipe was sent
  // of it stays sent); raises the I/O error of a failed cut.
  void DropPartialRow() override;

 private:
  TextFile& out_;
  std::uint64_t row_start_ = 0;  // the bytes taken before the row's first piece
  HzmFormatter format_;
  const RowFormatter* const formatter_ = &format_;
};

// A whole HZM file as one output of a run: the header at the start, then
// the rows as they come.
class HzmOutput : public MapOutput {
 public:
  explicit HzmOutput(TextFile& out) : out_(out), writer_(out) {}

  std::span<const RowFormatter* const> formatters() const override { return writer_.formatters(); }
  void Start(const Lattice& lattice, const ModelBounds&) override {
    lattice_ = lattice;
    WriteHeightMapHeader(out_);
  }
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override {
    writer_.WritePiece(piece, texts);
  }
  void DropPartialRow() override { writer_.DropPartialRow(); }
  void Finish() override {}
  std::uint64_t LeastFileBytes() const override;

 private:
  TextFile& out_;
  HzmWriter writer_;
  Lattice lattice_;
};

}  // namespace pelmoro

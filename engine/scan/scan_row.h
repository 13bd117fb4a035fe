// The units a scan computes and hands on: pieces of rows, so that no row,
// however wide, is ever held whole; and one computed piece on its way from
// the sweep to the sink, with what the sink's formatters made of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/scan/row_sink.h"
#include "foundation/assert.h"

namespace pelmoro {

// Rows cut into pieces of at most piece_columns columns, numbered as units
// row after row: unit u is piece u % per_row of row u / per_row. The
// lattice has at least one column and one row.
struct PieceLayout {
  PieceLayout(const Lattice& lattice, std::int64_t piece_columns)
      : columns(lattice.columns),
        piece_columns(std::max<std::int64_t>(1, std::min(piece_columns, lattice.columns))),
        per_row((columns + this->piece_columns - 1) / this->piece_columns),
        units(per_row * lattice.rows) {
    PELMORO_ASSERT(columns >= 1 && lattice.rows >= 1 && this->piece_columns <= columns);
    // Every column in exactly one piece: the row's last piece has 1 to
    // piece_columns columns.
    PELMORO_ASSERT(per_row >= 1 && Width(per_row - 1) >= 1);
  }

  std::int64_t Row(std::int64_t unit) const { return unit / per_row; }
  std::int64_t FirstColumn(std::int64_t unit) const { return unit % per_row * piece_columns; }
  std::int64_t Width(std::int64_t unit) const {
    return std::min(piece_columns, columns - FirstColumn(unit));
  }
  bool EndsRow(std::int64_t unit) const { return unit % per_row == per_row - 1; }

  std::int64_t columns;        // of a whole row
  std::int64_t piece_columns;  // of every piece but perhaps a row's last
  std::int64_t per_row;        // pieces in a row
  std::int64_t units;          // pieces in the lattice
};

struct ScanRow {
  // Buffers from `arena` (none: the heap). They are sized once for the
  // widest piece and keep their room, so a row cycling through pieces
  // takes its room of the arena only once.
  explicit ScanRow(ScratchArena* arena = nullptr) : heights(ArenaAllocator<std::int32_t>(arena)) {}

  std::int64_t unit = -1;
  RowPiece where;  // row, first column, last piece or not
  std::vector<std::int32_t, ArenaAllocator<std::int32_t>> heights;
  std::vector<RowText> texts;  // one per formatter

  // Sizes the heights for unit u of the layout (0 .. units - 1) and says
  // where it lies.
  void Place(const PieceLayout& layout, std::int64_t u) {
    PELMORO_ASSERT(u >= 0 && u < layout.units);
    unit = u;
    where.row = layout.Row(u);
    where.first_column = layout.FirstColumn(u);
    where.ends_row = layout.EndsRow(u);
    heights.reserve(static_cast<std::size_t>(layout.piece_columns));
    heights.resize(static_cast<std::size_t>(layout.Width(u)));
  }
  RowPiece piece() const {
    return RowPiece{where.row, where.first_column, heights, where.ends_row};
  }
};

// Room for whatever a formatter writes once per row, beyond its points.
inline constexpr std::size_t kRowEndRoom = 16;

// Makes the formatters' texts of a piece whose heights are in place.
inline void FormatScanRow(const Lattice& lattice, std::span<const RowFormatter* const> formatters,
                          ScanRow& row) {
  row.texts.resize(formatters.size(), RowText(row.heights.get_allocator()));
  for (std::size_t k = 0; k < formatters.size(); ++k) {
    row.texts[k].clear();
    // Room for the longest text of the widest piece at once: growing by
    // doubling would copy the text and touch fresh memory twice over. Only
    // what is written is ever touched.
    row.texts[k].reserve(row.heights.capacity() * formatters[k]->MaxBytesPerPoint() + kRowEndRoom);
    formatters[k]->FormatPiece(lattice, row.piece(), row.texts[k]);
  }
}

}  // namespace pelmoro

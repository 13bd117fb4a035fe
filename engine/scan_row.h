// One computed row on its way from the sweep to the sink: its heights and
// what the sink's formatters made of them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/row_sink.h"

namespace pelmoro {

struct ScanRow {
  std::int64_t row = -1;
  std::vector<std::int32_t> heights;
  std::vector<std::string> texts;  // one per formatter

  RowPiece piece() const { return RowPiece{row, 0, heights, true}; }
};

// Makes the formatters' texts of a row whose heights are in place.
inline void FormatScanRow(const Lattice& lattice,
                          std::span<const RowFormatter* const> formatters, ScanRow& row) {
  row.texts.resize(formatters.size());
  for (std::size_t k = 0; k < formatters.size(); ++k) {
    row.texts[k].clear();
    formatters[k]->FormatPiece(lattice, row.piece(), row.texts[k]);
  }
}

}  // namespace pelmoro

// One scan, several outputs: every piece goes to each sink in turn, with
// the texts of that sink's own formatters.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "engine/scan/row_sink.h"

namespace pelmoro {

class FanOutSink : public RowSink {
 public:
  // The sinks must outlive this one.
  explicit FanOutSink(std::vector<RowSink*> sinks);

  // Every sink's formatters, in the order of the sinks.
  std::span<const RowFormatter* const> formatters() const override { return formatters_; }
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override;
  void DropPartialRow() override;

 private:
  std::vector<RowSink*> sinks_;
  std::vector<const RowFormatter*> formatters_;
  std::vector<std::size_t> first_text_;  // per sink, its first formatter's index
};

}  // namespace pelmoro

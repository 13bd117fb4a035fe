#include "outputs/formats/fan_out_sink.h"

#include <utility>

namespace pelmoro {

FanOutSink::FanOutSink(std::vector<RowSink*> sinks) : sinks_(std::move(sinks)) {
  for (RowSink* sink : sinks_) {
    first_text_.push_back(formatters_.size());
    for (const RowFormatter* f : sink->formatters()) formatters_.push_back(f);
  }
  first_text_.push_back(formatters_.size());
}

void FanOutSink::DropPartialRow() {
  for (RowSink* sink : sinks_) sink->DropPartialRow();
}

void FanOutSink::WritePiece(const RowPiece& piece, std::span<const RowText> texts) {
  for (std::size_t k = 0; k < sinks_.size(); ++k) {
    sinks_[k]->WritePiece(piece,
                          texts.subspan(first_text_[k], first_text_[k + 1] - first_text_[k]));
  }
}

}  // namespace pelmoro

#include "run/map_outputs.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "engine/worker_threads.h"
#include "outputs/files/output_file.h"
#include "outputs/formats/asc_output.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/hzm_writer.h"
#include "outputs/formats/png_output.h"
#include "outputs/formats/relief_preview.h"

namespace pelmoro {

namespace {

bool NeedsHeightTable(OutputFormat format) {
  return format == OutputFormat::kPng || format == OutputFormat::kAsc;
}

std::unique_ptr<MapOutput> MakeOutput(OutputFormat format, TextFile& text,
                                      const HeightRows* heights) {
  switch (format) {
    case OutputFormat::kPng:
      return std::make_unique<PngOutput>(text, *heights);
    case OutputFormat::kAsc:
      return std::make_unique<AscOutput>(text, *heights);
    case OutputFormat::kPreview:
      return std::make_unique<PreviewOutput>(text);
    case OutputFormat::kHzm:
      break;
  }
  return std::make_unique<HzmOutput>(text);
}

// Runs a step of the output for target: what it raises passes out naming
// the output (an EOutputError already names one).
template <typename F>
void GuardOutput(const std::string& target, F&& step) {
  try {
    step();
  } catch (const EOutputError&) {
    throw;
  } catch (const Exception& e) {
    throw EOutputError(target, e);
  }
}

}  // namespace

EOutputError::EOutputError(std::string file, const Exception& cause)
    : Exception(cause.message()), file_(std::move(file)) {
  if (const auto* io = dynamic_cast<const EInOutError*>(&cause)) io_error_ = *io;
}

// One output and its file. Whatever either raises is raised naming the
// output's target.
class OutputEntry : public RowSink {
 public:
  OutputEntry(const OutputRequest& request, const HeightRows* heights) : target_(request.path) {
    GuardOutput(target_, [&] {
      if (request.descriptor >= 0) {
        file_.CreateOnDescriptor(request.descriptor, target_);
      } else {
        file_.Create(target_);
      }
    });
    output_ = MakeOutput(request.format, file_.text(), heights);
  }

  std::span<const RowFormatter* const> formatters() const override { return output_->formatters(); }
  void WritePiece(const RowPiece& piece, std::span<const RowText> texts) override {
    GuardOutput(target_, [&] { output_->WritePiece(piece, texts); });
  }
  void DropPartialRow() override {
    GuardOutput(target_, [&] { output_->DropPartialRow(); });
  }
  // Once started: the room its file and its scratch file take at least.
  void ClaimSpace(std::vector<SpaceClaim>& claims) const {
    if (auto claim = file_.ClaimSpace(output_->LeastFileBytes())) claims.push_back(*claim);
    if (auto claim = output_->ScratchClaim()) claims.push_back(*claim);
  }
  void Start(const Lattice& lattice, const ModelBounds& bounds) {
    GuardOutput(target_, [&] { output_->Start(lattice, bounds); });
  }
  // Finishes the output and starts getting its file onto the disk, so that
  // a file done early (the height map) reaches it while the others are
  // still being finished.
  void Finish() {
    GuardOutput(target_, [&] {
      output_->Finish();
      file_.StartFlush();
    });
  }
  // What while_waiting raises (a termination, say) is the caller's own, not
  // a failure of this output: it passes out as it was raised.
  void Flush(const std::function<void()>& while_waiting) {
    std::exception_ptr callers;
    std::function<void()> relay;
    if (while_waiting) {
      relay = [&] {
        try {
          while_waiting();
        } catch (...) {
          callers = std::current_exception();
          throw;
        }
      };
    }
    try {
      GuardOutput(target_, [&] { file_.Flush(relay); });
    } catch (const EOutputError&) {
      if (callers) std::rethrow_exception(callers);
      throw;
    }
  }
  void Publish() {
    GuardOutput(target_, [&] { file_.Publish(); });
  }

 private:
  std::string target_;
  OutputFile file_;
  std::unique_ptr<MapOutput> output_;
};

// Keeps the heights of the scan for the outputs that list the rows the
// other way round: one table, however many of them a run writes.
class MapOutputs::HeightTable : public RowSink {
 public:
  // target: the output the table is kept for first, where its scratch file
  // goes and what its failures name.
  explicit HeightTable(std::string target) : target_(target), rows_(std::move(target)) {}
  void WritePiece(const RowPiece& piece, std::span<const RowText>) override {
    GuardOutput(target_, [&] { rows_.Append(piece.heights); });
  }
  void DropPartialRow() override { rows_.DropPartialRow(); }
  void Start(const Lattice& lattice, const ModelBounds& bounds) {
    rows_.Start(lattice.columns, bounds.z_min, lattice.points());
  }
  void Seal() {
    GuardOutput(target_, [&] { rows_.Seal(); });
  }
  const HeightRows& rows() const { return rows_; }
  std::optional<SpaceClaim> ScratchClaim() const { return rows_.ScratchClaim(); }

 private:
  std::string target_;
  HeightRows rows_;
};

MapOutputs::MapOutputs(const std::vector<OutputRequest>& requests) {
  std::vector<RowSink*> sinks;
  for (const OutputRequest& request : requests) {
    if (!heights_ && NeedsHeightTable(request.format)) {
      heights_ = std::make_unique<HeightTable>(request.path);
      sinks.push_back(heights_.get());
    }
  }
  for (const OutputRequest& request : requests) {
    entries_.push_back(
        std::make_unique<OutputEntry>(request, heights_ ? &heights_->rows() : nullptr));
    sinks.push_back(entries_.back().get());
  }
  fan_out_ = std::make_unique<FanOutSink>(std::move(sinks));
}

MapOutputs::~MapOutputs() = default;

void MapOutputs::RequireSpace() const {
  std::vector<SpaceClaim> claims;
  for (const auto& entry : entries_) entry->ClaimSpace(claims);
  if (heights_) {
    if (auto claim = heights_->ScratchClaim()) claims.push_back(*claim);
  }
  RequireSpaceFor(claims);
}

void MapOutputs::Start(const Lattice& lattice, const ModelBounds& bounds) {
  if (heights_) heights_->Start(lattice, bounds);
  for (auto& entry : entries_) entry->Start(lattice, bounds);
}

void MapOutputs::FinishAll(int threads) {
  if (heights_) heights_->Seal();
  const int helpers =
      std::min(ThreadsToStart(threads, ThreadUse::kUpToCores), static_cast<int>(entries_.size())) -
      1;
  if (helpers <= 0) {
    for (auto& entry : entries_) entry->Finish();
    return;
  }
  // Each output is finished by one thread; what one raises is kept and the
  // first in the outputs' order is raised once all are done, as finishing
  // them in turn would have raised it.
  std::vector<std::exception_ptr> failures(entries_.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < entries_.size(); i = next++) {
      try {
        entries_[i]->Finish();
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  WorkerThreads helping;
  helping.Start(helpers, work);
  work();
  helping.Join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

void MapOutputs::Commit(const std::function<void()>& while_waiting, int threads) {
  FinishAll(threads);
  for (auto& entry : entries_) entry->Flush(while_waiting);
  for (auto& entry : entries_) entry->Publish();
}

}  // namespace pelmoro

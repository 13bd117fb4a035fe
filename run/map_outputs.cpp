#include "run/map_outputs.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "engine/scan/uncovered_points.h"
#include "engine/worker_threads.h"
#include "foundation/assert.h"
#include "outputs/files/output_file.h"
#include "outputs/formats/asc_output.h"
#include "outputs/formats/georeference_files.h"
#include "outputs/formats/geotiff_output.h"
#include "outputs/formats/height_rows.h"
#include "outputs/formats/hzm_writer.h"
#include "outputs/formats/png_output.h"
#include "outputs/formats/relief_preview.h"

namespace pelmoro {

namespace {

bool NeedsHeightTable(OutputFormat format) {
  return format == OutputFormat::kPng || format == OutputFormat::kAsc ||
         format == OutputFormat::kTif || format == OutputFormat::kWorld;
}

// Whether an output leaves the points no triangle covers without a height:
// a grid unless filled, a PNG with alpha.
bool NeedsGaps(const std::vector<OutputRequest>& requests, const ImageSettings& settings) {
  for (const OutputRequest& request : requests) {
    const bool grid = request.format == OutputFormat::kAsc || request.format == OutputFormat::kTif;
    if (grid && !settings.fill) return true;
    if (request.format == OutputFormat::kPng && settings.png_alpha) return true;
  }
  return false;
}

std::unique_ptr<MapOutput> MakeOutput(const OutputRequest& request, TextFile& text,
                                      const HeightRows* heights, const ImageSettings& settings) {
  switch (request.format) {
    case OutputFormat::kTif:
      return std::make_unique<GeoTiffOutput>(text, *heights, settings, request.path);
    case OutputFormat::kPrj:
      return std::make_unique<PrjOutput>(text, settings);
    case OutputFormat::kWorld:
      return std::make_unique<WorldFileOutput>(text, *heights, settings);
    case OutputFormat::kPng:
      return std::make_unique<PngOutput>(text, *heights, settings);
    case OutputFormat::kAsc:
      return std::make_unique<AscOutput>(text, *heights, settings);
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
  OutputEntry(const OutputRequest& request, const HeightRows* heights,
              const ImageSettings& settings)
      : target_(request.path) {
    GuardOutput(target_, [&] {
      if (request.descriptor >= 0) {
        file_.CreateOnStream(request.descriptor, target_);
      } else {
        file_.Create(target_);
      }
    });
    output_ = MakeOutput(request, file_.text(), heights, settings);
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
  void PlaceAt(std::int64_t x, std::int64_t y) { output_->PlaceAt(x, y); }
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
  bool direct() const { return file_.direct(); }

 private:
  std::string target_;
  OutputFile file_;
  std::unique_ptr<MapOutput> output_;
};

// Keeps the heights of the scan for the outputs that list the rows the
// other way round: one table, however many of them a run writes. When some
// output leaves the points no triangle covers without a height, those
// points go into the table as kNoHeight.
class MapOutputs::HeightTable : public RowSink {
 public:
  // target: the output the table is kept for first, where its scratch file
  // goes and what its failures name.
  HeightTable(std::string target, bool with_gaps)
      : target_(target), rows_(std::move(target)), with_gaps_(with_gaps) {}
  void WritePiece(const RowPiece& piece, std::span<const RowText>) override {
    GuardOutput(target_, [&] {
      if (same_) {
        AppendMarked(piece);
      } else {
        TakeCropped(piece);
      }
    });
  }
  void DropPartialRow() override { rows_.DropPartialRow(); }
  // scan: the lattice of the scan; images: the window of its points the
  // table keeps. store: the model the scan reads (its first count
  // triangles), which tells the points no triangle covers; without it every
  // point of the scan has a height.
  void Start(const Lattice& scan, const Lattice& images, const ModelBounds& bounds,
             const GeometryStore* store, std::int32_t count, ScanSide side) {
    scan_ = scan;
    images_ = images;
    same_ = scan == images;
    // Both on the same lines: the offsets are whole steps.
    column_shift_ = (std::int64_t{images.x_min} - scan.x_min) / scan.pitch;
    row_shift_ = (std::int64_t{images.y_min} - scan.y_min) / scan.pitch;
    // The height of a point no triangle covers: the scan's floor, z min
    // from above, z max from below.
    PELMORO_ASSERT(side == ScanSide::kTop || store != nullptr);
    floor_ = side == ScanSide::kTop ? bounds.z_min : HighestZ(*store, count);
    const bool gaps = with_gaps_ && store != nullptr;
    if (gaps) uncovered_ = std::make_unique<UncoveredPoints>(*store, images, count);
    // Points beyond the scan lie beyond the model: no triangle covers them.
    beyond_ = gaps ? kNoHeight : floor_;
    next_row_ = 0;
    rows_.Start(images.columns, floor_, images.points(), gaps, bounds.z_min);
  }
  void Seal() {
    GuardOutput(target_, [&] { rows_.Seal(); });
  }
  const HeightRows& rows() const { return rows_; }
  std::optional<SpaceClaim> ScratchClaim() const { return rows_.ScratchClaim(); }

 private:
  // A piece of the table's own lattice.
  void AppendMarked(const RowPiece& piece) {
    if (!uncovered_) {
      rows_.Append(piece.heights);
      return;
    }
    uncovered_->Mark(piece, floor_, marks_);
    gapped_.assign(piece.heights.begin(), piece.heights.end());
    for (std::size_t k = 0; k < marks_.size(); ++k) {
      if (marks_[k] != 0) gapped_[k] = kNoHeight;
    }
    rows_.Append(gapped_);
  }
  // Rows of the window up to (not including) row, all beyond the scan.
  void AppendRowsBeyond(std::int64_t row) {
    row = std::min(row, images_.rows);
    if (next_row_ >= row) return;
    gapped_.assign(static_cast<std::size_t>(images_.columns), beyond_);
    for (; next_row_ < row; ++next_row_) rows_.Append(gapped_);
  }
  // A piece of the scan: its points in the window go into the window's row,
  // which is appended once the scan's row ends.
  void TakeCropped(const RowPiece& piece) {
    const std::int64_t row = piece.row - row_shift_;
    AppendRowsBeyond(row);
    if (row >= 0 && row < images_.rows) {
      if (piece.first_column == 0) row_.assign(static_cast<std::size_t>(images_.columns), floor_);
      const std::int64_t first = piece.first_column - column_shift_;
      const std::int64_t n = static_cast<std::int64_t>(piece.heights.size());
      const std::int64_t from = std::max<std::int64_t>(0, -first);
      const std::int64_t to = std::min(n, images_.columns - first);
      for (std::int64_t k = from; k < to; ++k) {
        row_[static_cast<std::size_t>(first + k)] = piece.heights[static_cast<std::size_t>(k)];
      }
      if (piece.ends_row) {
        AppendMarked(RowPiece{row, 0, row_, true});
        next_row_ = row + 1;
      }
    }
    if (piece.ends_row && piece.row == scan_.rows - 1) AppendRowsBeyond(images_.rows);
  }

  std::string target_;
  HeightRows rows_;
  bool with_gaps_;
  Lattice scan_, images_;
  bool same_ = true;
  std::int64_t column_shift_ = 0, row_shift_ = 0;  // the window's first point in the scan
  std::int32_t floor_ = 0;
  std::int32_t beyond_ = 0;    // a point beyond the scan
  std::int64_t next_row_ = 0;  // of the window, the next to append
  std::unique_ptr<UncoveredPoints> uncovered_;
  std::vector<std::uint8_t> marks_;
  std::vector<std::int32_t> gapped_;
  std::vector<std::int32_t> row_;  // the window's row being gathered
};

MapOutputs::MapOutputs(const std::vector<OutputRequest>& requests, const ImageSettings& settings) {
  std::vector<RowSink*> sinks;
  for (const OutputRequest& request : requests) {
    if (!heights_ && NeedsHeightTable(request.format)) {
      heights_ = std::make_unique<HeightTable>(request.path, NeedsGaps(requests, settings));
      sinks.push_back(heights_.get());
    }
  }
  for (const OutputRequest& request : requests) {
    entries_.push_back(
        std::make_unique<OutputEntry>(request, heights_ ? &heights_->rows() : nullptr, settings));
    formats_.push_back(request.format);
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

void MapOutputs::SetOrigin(std::int64_t origin_x, std::int64_t origin_y) {
  for (auto& entry : entries_) entry->PlaceAt(origin_x, origin_y);
}

void MapOutputs::Start(const Lattice& lattice, const ModelBounds& bounds,
                       const GeometryStore* store, std::int32_t count, const Lattice* images,
                       ScanSide side) {
  const Lattice& window = images != nullptr ? *images : lattice;
  if (heights_) heights_->Start(lattice, window, bounds, store, count, side);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i]->Start(CoversImageWindow(formats_[i]) ? window : lattice, bounds);
  }
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

void MapOutputs::AbandonFiles() {
  for (std::size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i]->direct()) continue;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    formats_.erase(formats_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  std::vector<RowSink*> sinks;
  if (heights_) sinks.push_back(heights_.get());
  for (const auto& entry : entries_) sinks.push_back(entry.get());
  fan_out_ = std::make_unique<FanOutSink>(std::move(sinks));
}

void MapOutputs::Commit(const std::function<void()>& while_waiting, int threads) {
  FinishAll(threads);
  for (auto& entry : entries_) entry->Flush(while_waiting);
  for (auto& entry : entries_) entry->Publish();
}

}  // namespace pelmoro

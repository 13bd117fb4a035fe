#include "run/map_outputs.h"

#include <utility>

#include "heightmap/asc_output.h"
#include "heightmap/hzm_writer.h"
#include "heightmap/output_file.h"
#include "heightmap/png_output.h"
#include "heightmap/relief_preview.h"

namespace pelmoro {

namespace {

std::unique_ptr<MapOutput> MakeOutput(OutputFormat format, TextFile& text,
                                      const std::string& target) {
  switch (format) {
    case OutputFormat::kPng: return std::make_unique<PngOutput>(text, target);
    case OutputFormat::kAsc: return std::make_unique<AscOutput>(text, target);
    case OutputFormat::kPreview: return std::make_unique<PreviewOutput>(text);
    case OutputFormat::kHzm: break;
  }
  return std::make_unique<HzmOutput>(text);
}

}  // namespace

// One output and its file. An I/O error of either is raised naming the
// output's target.
class OutputEntry : public RowSink {
 public:
  explicit OutputEntry(const OutputRequest& request) : target_(request.path) {
    Guard([&] {
      if (request.descriptor >= 0) {
        file_.CreateOnDescriptor(request.descriptor, target_);
      } else {
        file_.Create(target_);
      }
    });
    output_ = MakeOutput(request.format, file_.text(), target_);
  }

  std::span<const RowFormatter* const> formatters() const override {
    return output_->formatters();
  }
  void WritePiece(const RowPiece& piece, std::span<const std::string> texts) override {
    Guard([&] { output_->WritePiece(piece, texts); });
  }
  void Start(const Lattice& lattice, const ModelBounds& bounds) {
    Guard([&] { output_->Start(lattice, bounds); });
  }
  void Finish() { Guard([&] { output_->Finish(); }); }
  void Flush(const std::function<void()>& while_waiting) {
    Guard([&] { file_.Flush(while_waiting); });
  }
  void Publish() { Guard([&] { file_.Publish(); }); }

 private:
  template <typename F>
  void Guard(F&& step) {
    try {
      step();
    } catch (const EOutputError&) {
      throw;
    } catch (const EInOutError& e) {
      throw EOutputError(e.code(), target_, e.failure());
    }
  }

  std::string target_;
  OutputFile file_;
  std::unique_ptr<MapOutput> output_;
};

MapOutputs::MapOutputs(const std::vector<OutputRequest>& requests) {
  std::vector<RowSink*> sinks;
  for (const OutputRequest& request : requests) {
    entries_.push_back(std::make_unique<OutputEntry>(request));
    sinks.push_back(entries_.back().get());
  }
  fan_out_ = std::make_unique<FanOutSink>(std::move(sinks));
}

MapOutputs::~MapOutputs() = default;

void MapOutputs::Start(const Lattice& lattice, const ModelBounds& bounds) {
  for (auto& entry : entries_) entry->Start(lattice, bounds);
}

void MapOutputs::Commit(const std::function<void()>& while_waiting) {
  for (auto& entry : entries_) entry->Finish();
  for (auto& entry : entries_) entry->Flush(while_waiting);
  for (auto& entry : entries_) entry->Publish();
}

}  // namespace pelmoro

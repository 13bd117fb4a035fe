#include "bench/scan_phases.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "bench/bench_support.h"
#include "engine/read/stl_model_reader.h"
#include "engine/scan/lattice.h"
#include "foundation/text_file.h"
#include "outputs/formats/hzm_writer.h"

namespace pelmoro::bench {

double TimeRead(GeometryStore& store, const std::string& model, std::int32_t* count, int threads) {
  NullDriver driver;
  const Clock::time_point start = Clock::now();
  store.ResetBounds();
  *count = ReadStlModel(store, model, driver, kGridUnitsPerMillimetre, threads).triangles;
  return SecondsSince(start);
}

namespace {

// A fresh output file with its header; an old file of the name is removed
// first so that no run pays for truncating the previous one.
void OpenHeightMap(TextFile& file, const std::string& out) {
  ::unlink(out.c_str());
  CreateTextForWriting(file, out);
  CheckIoResult();
  WriteHeightMapHeader(file);
}

void CloseHeightMap(TextFile& file) {
  CloseText(file);
  CheckIoResult();
}

// Formats rows as the height-map file does, but keeps the written bytes.
class CaptureSink : public RowSink {
 public:
  std::span<const RowFormatter* const> formatters() const override { return {&formatter_, 1}; }
  void WritePiece(const RowPiece&, std::span<const RowText> texts) override {
    captured.append(texts.front());
  }
  std::string captured;

 private:
  HzmFormatter format_;
  const RowFormatter* const formatter_ = &format_;
};

}  // namespace

double TimeScanToFile(const GeometryStore& store, int pitch, std::int32_t count,
                      const ScanOptions& options, bool surface, const std::string& out) {
  ::unlink(out.c_str());
  NullDriver driver(surface);
  TextFile file;
  const Clock::time_point start = Clock::now();
  OpenHeightMap(file, out);
  HzmWriter sink(file);
  ScanHeightMap(store, LatticeOver(store.bounds(), pitch), count, driver, sink, options);
  CloseHeightMap(file);
  return SecondsSince(start);
}

double TimeWriteOnly(const ModelBounds& bounds, int pitch, std::int32_t height,
                     const std::string& out) {
  ::unlink(out.c_str());
  const Lattice lattice = LatticeOver(bounds, pitch);
  const std::vector<std::int32_t> heights(static_cast<std::size_t>(lattice.columns), height);
  TextFile file;
  RowText text[1];
  const Clock::time_point start = Clock::now();
  OpenHeightMap(file, out);
  HzmWriter sink(file);
  for (std::int64_t row = 0; row < lattice.rows; ++row) {
    const RowPiece piece{row, 0, heights, true};
    text[0].clear();
    sink.formatters().front()->FormatPiece(lattice, piece, text[0]);
    sink.WritePiece(piece, text);
  }
  CloseHeightMap(file);
  return SecondsSince(start);
}

ReferenceSample SampleReference(GeometryStore& store, int pitch, std::int32_t count, bool surface,
                                const std::vector<std::int64_t>& rows) {
  const ModelBounds saved = store.bounds();
  ReferenceSample sample;
  sample.rows = rows;
  NullDriver driver(surface);
  for (std::int64_t row : rows) {
    const auto y = static_cast<std::int32_t>(saved.y_min + row * pitch);
    store.bounds().y_min = y;
    store.bounds().y_max = y;
    CaptureSink sink;
    const Clock::time_point start = Clock::now();
    ScanHeightMapReference(store, LatticeOver(store.bounds(), pitch), count, driver, sink);
    sample.seconds += SecondsSince(start);
    sample.texts.push_back(std::move(sink.captured));
  }
  store.bounds() = saved;
  return sample;
}

std::int32_t HighestZ(const GeometryStore& store, std::int32_t count) {
  if (count <= 0) return 0;
  std::int32_t z = store.triangle(0).v[0].z;
  for (std::int32_t i = 0; i < count; ++i) {
    for (const Vertex& v : store.triangle(static_cast<std::size_t>(i)).v) z = std::max(z, v.z);
  }
  return z;
}

}  // namespace pelmoro::bench

// Micro benchmarks of the inner operations: numbers from STL text, point
// lines into text, the coverage decision, and line reading.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/scan/coverage.h"
#include "engine/scan/fast_coverage.h"
#include "engine/triangle_metrics.h"
#include "foundation/numbers.h"
#include "foundation/text_file.h"
#include "outputs/formats/hzm_writer.h"
#include "tests/support/reference_line_reader.h"

namespace pelmoro {
namespace {

// Numbers as CAD exporters write them: "%e" style and plain decimals.
std::vector<std::string> StlNumbers(std::size_t n) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> value(-120.0, 120.0);
  std::vector<std::string> texts;
  char buffer[64];
  for (std::size_t i = 0; i < n; ++i) {
    const double v = value(random) / ((i % 5 == 0) ? 1000.0 : 1.0);
    std::snprintf(buffer, sizeof buffer, (i % 2 == 0) ? "%e" : "%f", v);
    texts.emplace_back(buffer);
  }
  return texts;
}

void BM_ParseReal(benchmark::State& state) {
  const std::vector<std::string> texts = StlNumbers(4096);
  std::size_t i = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string& t = texts[i++ & 4095];
    benchmark::DoNotOptimize(ParseReal(t, '.'));
    bytes += t.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ParseReal);

void BM_FormatIntegerTo(benchmark::State& state) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::int32_t> value(-5000, 400000);
  std::vector<std::int32_t> numbers(4096);
  for (std::int32_t& n : numbers) n = value(random);
  char out[16];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatIntegerTo(out, numbers[i++ & 4095]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatIntegerTo);

// One row of 4001 point lines, as at 0.025 mm over 100 mm.
void BM_FormatHzmRow(benchmark::State& state) {
  std::vector<std::int32_t> heights(4001);
  for (std::size_t x = 0; x < heights.size(); ++x) heights[x] = 480 + static_cast<int>(x & 255);
  Lattice lattice;
  lattice.pitch = 1;
  lattice.columns = 4001;
  lattice.rows = 4001;
  const RowPiece piece{2000, 0, heights, true};
  const HzmFormatter formatter;
  RowText out;
  out.reserve(4001 * 24);
  for (auto _ : state) {
    out.clear();
    formatter.FormatPiece(lattice, piece, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 4001);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_FormatHzmRow);

// Random triangles of 2..400 grid units and points in their bounding boxes.
struct CoverageCase {
  GeometryStore store;
  std::vector<CoverageCoefficients> coefficients;
  std::vector<std::int32_t> px, py, tri;

  CoverageCase() {
    constexpr std::size_t kTriangles = 1024, kPoints = 1 << 16;
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> corner(0, 4000), size(2, 400);
    store.SetCapacity(kTriangles);
    for (std::size_t i = 0; i < kTriangles; ++i) {
      Triangle& t = store.triangle(i);
      const std::int32_t x = corner(random), y = corner(random), s = size(random);
      t.v[0] = {x, y, 10};
      t.v[1] = {x + s, y + size(random) % s, 20};
      t.v[2] = {x + size(random) % s, y + s, 30};
      StoreTriangle(store, i);
      coefficients.push_back(PrepareCoverage(t, store.metrics(i)));
    }
    for (std::size_t p = 0; p < kPoints; ++p) {
      const std::size_t i = random() % kTriangles;
      const Triangle& t = store.triangle(i);
      const std::int32_t x0 = std::min({t.v[0].x, t.v[1].x, t.v[2].x});
      const std::int32_t x1 = std::max({t.v[0].x, t.v[1].x, t.v[2].x});
      px.push_back(std::uniform_int_distribution<std::int32_t>(x0, x1)(random));
      py.push_back(std::uniform_int_distribution<std::int32_t>(t.v[2].y, t.v[0].y)(random));
      tri.push_back(static_cast<std::int32_t>(i));
    }
  }
};

const CoverageCase& Coverage() {
  static const CoverageCase c;
  return c;
}

void BM_DecideCoverage(benchmark::State& state) {
  const CoverageCase& c = Coverage();
  std::size_t p = 0, undecided = 0;
  for (auto _ : state) {
    const std::size_t k = p++ & (c.px.size() - 1);
    const CoverageCoefficients& co = c.coefficients[static_cast<std::size_t>(c.tri[k])];
    std::int64_t e[3];
    EdgeFunctions(co, c.px[k], c.py[k], e);
    const pelmoro::Coverage answer = DecideCoverage(co, e[0], e[1], e[2]);
    undecided += answer == pelmoro::Coverage::kUndecided;
    benchmark::DoNotOptimize(answer);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["undecided_share"] =
      static_cast<double>(undecided) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecideCoverage);

void BM_TriangleCovers(benchmark::State& state) {
  const CoverageCase& c = Coverage();
  std::size_t p = 0;
  for (auto _ : state) {
    const std::size_t k = p++ & (c.px.size() - 1);
    benchmark::DoNotOptimize(TriangleCovers(c.store, c.tri[k], c.px[k], c.py[k]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TriangleCovers);

// The four metrics of a batch of ordered triangles of a fine mesh's sizes,
// measured one at a time (0) and together (1).
void BM_ComputeTriangleMetrics(benchmark::State& state) {
  constexpr std::size_t kTriangles = 256;
  std::mt19937_64 random(11);
  std::vector<Triangle> triangles(kTriangles);
  for (Triangle& t : triangles) {
    for (Vertex& v : t.v) {
      v = {static_cast<std::int32_t>(random() % 4000), static_cast<std::int32_t>(random() % 4000),
           static_cast<std::int32_t>(random() % 400)};
    }
    OrderTriangleVertices(t);
  }
  std::vector<TriangleMetrics> metrics(kTriangles);
  for (auto _ : state) {
    if (state.range(0) == 0) {
      for (std::size_t i = 0; i < kTriangles; ++i)
        metrics[i] = ComputeTriangleMetrics(triangles[i]);
    } else {
      ComputeTriangleMetrics(triangles.data(), metrics.data(), kTriangles);
    }
    benchmark::DoNotOptimize(metrics.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kTriangles));
}
BENCHMARK(BM_ComputeTriangleMetrics)->Arg(0)->Arg(1);

// Lines of a CAD-style STL file, read from the page cache by the reference
// line reader the fast readers are checked against.
void BM_ReferenceLineReader(benchmark::State& state) {
  char name[] = "/tmp/micro_bench_lines_XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  std::FILE* f = ::fdopen(fd, "w");
  for (int i = 0; i < 40000; ++i) {
    std::fprintf(f, "  facet normal %e %e %e\n    outer loop\n", 0.1 * i, -0.2, 0.97);
    for (int v = 0; v < 3; ++v)
      std::fprintf(f, "      vertex %e %e %e\n", 1.5 * v, 0.01 * i, 12.25);
    std::fputs("    endloop\n  endfacet\n", f);
  }
  std::fclose(f);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    TextFile file;
    OpenTextForReading(file, name);
    testing::ReferenceLineReader lines(file);
    while (!lines.AtEnd()) bytes += static_cast<std::int64_t>(lines.ReadLineView().size()) + 1;
    CloseText(file);
  }
  ::unlink(name);
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReferenceLineReader)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelmoro

BENCHMARK_MAIN();

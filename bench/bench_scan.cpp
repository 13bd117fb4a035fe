// bench_scan: times the phases of one conversion and checks the fast
// output against the plain scan, so that no speed is reported for a wrong
// answer. Results are "key=value" lines on stdout for bench/run.sh.
//
//   bench_scan MODEL PITCH_MM [--surface] [--repeat N] [--samples K]
//              [--budget SECONDS] [--workdir DIR]
//   bench_scan exec PROGRAM [ARGS...]
//
// The first form reads the model, scans it into a file with one thread and
// with one per core, writes the same lattice with constant heights, and runs
// the plain scan on K evenly spaced rows. When those rows say the whole plain
// scan would take at most the budget, it runs in full and the files are
// compared whole; otherwise its time is extrapolated from the rows.
// The second form runs a program as a fresh process and reports its wall
// time and peak resident memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/scan_phases.h"
#include "engine/scan/lattice.h"
#include "foundation/errors.h"

namespace pelmoro::bench {
namespace {

struct Settings {
  std::string model;
  std::string pitch_mm;
  std::string workdir = ".";
  bool surface = false;
  int repeat = 3;
  int samples = 5;
  double budget = 20;  // seconds the full plain scan may take
};

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench_scan MODEL PITCH_MM [--surface] [--repeat N] [--samples K]\n"
               "                  [--budget SECONDS] [--workdir DIR]\n"
               "       bench_scan exec PROGRAM [ARGS...]\n");
  std::exit(2);
}

Settings ParseSettings(int argc, char** argv) {
  Settings s;
  std::vector<std::string> plain;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--surface")
      s.surface = true;
    else if (a == "--repeat" && has_value)
      s.repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--samples" && has_value)
      s.samples = std::max(1, std::atoi(argv[++i]));
    else if (a == "--budget" && has_value)
      s.budget = std::atof(argv[++i]);
    else if (a == "--workdir" && has_value)
      s.workdir = argv[++i];
    else if (a.rfind("--", 0) == 0)
      Usage();
    else
      plain.push_back(a);
  }
  if (plain.size() != 2) Usage();
  s.model = plain[0];
  s.pitch_mm = plain[1];
  return s;
}

void Put(const char* key, double value) { std::printf("%s=%.6g\n", key, value); }
void Put(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
void Put(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

template <typename F>
double BestOf(int runs, F&& run) {
  double best = run();
  for (int i = 1; i < runs; ++i) best = std::min(best, run());
  return best;
}

int ExecMode(int argc, char** argv) {
  if (argc < 3) Usage();
  const ChildRun run = RunChild(std::vector<std::string>(argv + 2, argv + argc));
  Put("seconds", run.seconds);
  Put("max_rss_kib", static_cast<long long>(run.max_rss_kib));
  Put("exit", static_cast<long long>(run.exit_code));
  return run.exit_code == 0 ? 0 : 1;
}

// One measured conversion: the store, the lattice and the files written.
struct Run {
  Settings s;
  GeometryStore store;
  std::int32_t count = 0;
  int pitch = 0;
  std::int32_t columns = 0, rows = 0;
  std::string sweep_1, sweep_n, write_only, plain;
  double scan_1 = 0;
  bool ok = true;
};

void ReadPhase(Run& r) {
  TimeRead(r.store, r.s.model, &r.count);  // brings the file into the page cache
  const double seconds = BestOf(r.s.repeat, [&] { return TimeRead(r.store, r.s.model, &r.count); });
  const double mb = static_cast<double>(FileBytes(r.s.model)) / 1e6;
  Put("triangles", static_cast<long long>(r.count));
  Put("file_mb", mb);
  Put("read_s", seconds);
  Put("read_mb_s", mb / seconds);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const double all =
      BestOf(r.s.repeat, [&] { return TimeRead(r.store, r.s.model, &r.count, cores); });
  Put("read_nt_s", all);
  Put("read_nt_mb_s", mb / all);
  const Lattice lattice = LatticeOver(r.store.bounds(), r.pitch);
  r.columns = lattice.columns;
  r.rows = lattice.rows;
  Put("pitch_units", static_cast<long long>(r.pitch));
  Put("columns", static_cast<long long>(r.columns));
  Put("rows", static_cast<long long>(r.rows));
}

// The sweep with one thread and with all, and the write-only run of the
// same lattice, taken in turns: whatever else the machine does at the time
// (writing back earlier files, other work) weighs on all three alike.
void ScanAndWriteOnlyPhase(Run& r) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const ModelBounds& b = r.store.bounds();
  const std::int32_t height = b.z_min + (bench::HighestZ(r.store, r.count) - b.z_min) / 2;
  double scan_n = 0, write_only = 0;
  for (int i = 0; i < r.s.repeat; ++i) {
    const double one =
        TimeScanToFile(r.store, r.pitch, r.count, ScanOptions{1, false}, r.s.surface, r.sweep_1);
    const double many = TimeScanToFile(r.store, r.pitch, r.count, ScanOptions{cores, false},
                                       r.s.surface, r.sweep_n);
    const double write = TimeWriteOnly(b, r.pitch, height, r.write_only);
    r.scan_1 = i == 0 ? one : std::min(r.scan_1, one);
    scan_n = i == 0 ? many : std::min(scan_n, many);
    write_only = i == 0 ? write : std::min(write_only, write);
  }
  Put("scan_1t_s", r.scan_1);
  Put("threads", static_cast<long long>(cores));
  Put("scan_nt_s", scan_n);
  Put("output_mb", static_cast<double>(FileBytes(r.sweep_1)) / 1e6);
  const MappedFile one(r.sweep_1), many(r.sweep_n);
  const bool same = !one.bytes().empty() && one.bytes() == many.bytes();
  Put("threads_identical", same ? "yes" : "NO");
  r.ok = r.ok && same;
  Put("write_only_s", write_only);
  Put("write_only_mb", static_cast<double>(FileBytes(r.write_only)) / 1e6);
  Put("scan_vs_write_only", r.scan_1 / write_only);
}

// The sampled plain rows against the same rows of the sweep's file.
bool SampledRowsMatch(const Run& r, const ReferenceSample& sample) {
  const MappedFile file(r.sweep_1);
  const std::vector<std::string_view> rows = HeightMapRows(file.bytes(), r.columns, sample.rows);
  int matching = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] == sample.texts[i])
      ++matching;
    else
      std::fprintf(stderr, "row %lld differs from the plain scan\n", (long long)sample.rows[i]);
  }
  std::printf("verified_rows=%d/%zu\n", matching, rows.size());
  return matching == static_cast<int>(rows.size());
}

void FullReference(Run& r) {
  const double seconds =
      TimeScanToFile(r.store, r.pitch, r.count, ScanOptions{1, true}, r.s.surface, r.plain);
  const MappedFile plain(r.plain), sweep(r.sweep_1);
  const bool same = !plain.bytes().empty() && plain.bytes() == sweep.bytes();
  Put("plain_s", seconds);
  Put("plain_extrapolated", "no");
  Put("plain_full_file", same ? "identical" : "DIFFERENT");
  r.ok = r.ok && same;
}

void PlainPhase(Run& r) {
  const ReferenceSample sample =
      SampleReference(r.store, r.pitch, r.count, r.s.surface, SampleRows(r.rows, r.s.samples));
  const double per_row = sample.seconds / static_cast<double>(sample.rows.size());
  const double estimate = per_row * r.rows;
  Put("plain_rows_sampled", static_cast<long long>(sample.rows.size()));
  Put("plain_row_s", per_row);
  r.ok = SampledRowsMatch(r, sample) && r.ok;
  if (estimate <= r.s.budget) {
    FullReference(r);
    return;
  }
  Put("plain_s", estimate);
  Put("plain_extrapolated", "yes");
}

int PhasesMode(int argc, char** argv) {
  Run r;
  r.s = ParseSettings(argc, argv);
  r.pitch = PitchUnits(r.s.pitch_mm);
  const std::string base = r.s.workdir + "/bench_scan_" + std::to_string(::getpid());
  r.sweep_1 = base + "_sweep1.hzm";
  r.sweep_n = base + "_sweepn.hzm";
  r.write_only = base + "_write.hzm";
  r.plain = base + "_plain.hzm";
  Put("model", r.s.model);
  Put("mode", r.s.surface ? "surface" : "highest");
  ReadPhase(r);
  ScanAndWriteOnlyPhase(r);
  PlainPhase(r);
  for (const std::string* f : {&r.sweep_1, &r.sweep_n, &r.write_only, &r.plain})
    std::remove(f->c_str());
  Put("verdict", r.ok ? "ok" : "MISMATCH");
  return r.ok ? 0 : 1;
}

}  // namespace
}  // namespace pelmoro::bench

int main(int argc, char** argv) {
  try {
    if (argc >= 2 && std::strcmp(argv[1], "exec") == 0) return pelmoro::bench::ExecMode(argc, argv);
    return pelmoro::bench::PhasesMode(argc, argv);
  } catch (const pelmoro::Exception& e) {
    std::fprintf(stderr, "bench_scan: %s\n", e.message().c_str());
    return 1;
  }
}

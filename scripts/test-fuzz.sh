#!/usr/bin/env bash
# Builds the fuzz targets with clang 14 (libFuzzer, ASan, UBSan) into
# build-fuzz/, runs each for a fixed time from its committed corpus, then
# replays the corpus with CTest.
#
#   scripts/test-fuzz.sh [TARGET...]     all targets when none is named
#   PELMORO_FUZZ_SECONDS=300 scripts/test-fuzz.sh conversion
#
# What a run finds is kept in build-fuzz/fuzz-corpus/TARGET/ for the next
# run; a crashing input is saved as build-fuzz/artifacts/TARGET-crash-...:
# fix the fault, then copy the input into tests/fuzz/corpus/TARGET/ (under a
# name that says what it caught) so that every build replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
jobs=$(nproc)
seconds=${PELMORO_FUZZ_SECONDS:-20}

# Longest input per target (bytes) and its dictionary.
declare -A max_len=([parse_real]=128 [line_reader]=2048 [stl_reader]=4096 [conversion]=2048)
declare -A dict=([parse_real]=parse_real.dict [stl_reader]=stl.dict [conversion]=stl.dict)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(parse_real line_reader stl_reader conversion); fi

bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORO_FUZZ=ON -DPELMORO_TESTS=OFF -DPELMORO_BENCH=OFF \
  -DPELMORO_WITH_QT=OFF -DPELMORO_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# llvm-symbolizer gives the reports file names and lines.
export PATH="$PATH:/usr/lib/llvm-14/bin"
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  mkdir -p "$build/fuzz-corpus/$t"
  options=(-max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=30 -rss_limit_mb=2048
           -artifact_prefix="$build/artifacts/$t-" -print_final_stats=1)
  if [ -n "${dict[$t]:-}" ]; then options+=(-dict="$root/tests/fuzz/${dict[$t]}"); fi
  log="$build/fuzz-$t.log"
  echo "fuzzing $t for ${seconds}s (log: $log)"
  if ! "$build/tests/fuzz/fuzz_$t" "${options[@]}" "$build/fuzz-corpus/$t" \
       "$root/tests/fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "test-fuzz: $t failed; the input is in $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$log" || true
done
(cd "$build" && ctest --output-on-failure -L fuzz)

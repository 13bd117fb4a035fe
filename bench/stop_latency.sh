#!/usr/bin/env bash
# How soon stl2hzm obeys a stop in the middle of a slow row: the model of
# tools/make_wide_rows.py (600 stacked triangles 5,000 mm wide, a row of
# 200,001 points at 0.025 mm that every triangle is asked about, some
# seconds a row), stopped by SIGINT, SIGTERM and SIGHUP with 1, 2 and 8
# threads, writing to a file, a pipe and /dev/null. Each figure is the
# worst of 3 runs, from the signal to the end of the process; the signal
# comes once the run has had a second of processor time (the scan is then
# inside its first row). Target: 0.5 s.
#
#   bench/stop_latency.sh            Release build in build-bench/ (as run.sh)
#   BUILD=build bench/stop_latency.sh   an existing build folder instead
#
# Writes the table to stdout and to $BUILD/results/stop-latency.md, which
# bench/run.sh's RESULTS.md then includes.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
mkdir -p "$BUILD/results"
BUILD=$(cd "$BUILD" && pwd)
OUT=$BUILD/out-stops
mkdir -p "$OUT"

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target stl2hzm >/dev/null
python3 "$ROOT/tools/make_wide_rows.py" "$OUT/wide.stl" 600

# processor seconds (user + system) the process has had so far
cpu_seconds() {
  awk -v t="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / t }' "/proc/$1/stat" \
    2>/dev/null || echo 0
}

# Runs a program with SIGINT and SIGQUIT back at their defaults, which a
# script's background job would otherwise ignore.
with_default_signals() {
  exec python3 -c 'import os, signal, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
signal.signal(signal.SIGQUIT, signal.SIG_DFL)
os.execv(sys.argv[1], sys.argv[1:])' "$@"
}

# once SIGNAL THREADS TARGET: seconds from the signal to the end
once() {
  local signal=$1 threads=$2 target=$3 pid start end
  local run=("$BUILD/cli/stl2hzm" -q --pitch 0.025 --threads "$threads" -o)
  rm -f "$OUT/wide.hzm"
  case $target in
    file) (with_default_signals "${run[@]}" "$OUT/wide.hzm" "$OUT/wide.stl" 2>/dev/null) & ;;
    pipe) (with_default_signals "${run[@]}" - "$OUT/wide.stl" > >(cat >/dev/null) 2>/dev/null) & ;;
    device) (with_default_signals "${run[@]}" /dev/null "$OUT/wide.stl" 2>/dev/null) & ;;
  esac
  pid=$!
  while kill -0 "$pid" 2>/dev/null &&
    awk -v s="$(cpu_seconds "$pid")" 'BEGIN { exit !(s < 1) }'; do
    sleep 0.01
  done
  start=$(date +%s.%N)
  kill "-$signal" "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.002; done
  end=$(date +%s.%N)
  wait "$pid" || true
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

{
  echo "| signal | threads | file s | pipe s | /dev/null s | target 0.5 s |"
  echo "|---|---|---|---|---|---|"
  for signal in INT TERM HUP; do
    for threads in 1 2 8; do
      row="| SIG$signal | $threads |"
      worst=0
      for target in file pipe device; do
        w=0
        for _ in 1 2 3; do
          s=$(once "$signal" "$threads" "$target")
          w=$(awk -v a="$w" -v b="$s" 'BEGIN { print (b > a) ? b : a }')
        done
        row="$row $w |"
        worst=$(awk -v a="$worst" -v b="$w" 'BEGIN { print (b > a) ? b : a }')
      done
      echo "$row $(awk -v w="$worst" 'BEGIN { print (w <= 0.5) ? "met" : "**not met**" }') |"
    done
  done
} | tee "$BUILD/results/stop-latency.md"
rm -rf "$OUT"

#!/usr/bin/env bash
# Builds the converter in Release, makes the benchmark models, times
# stl2hzm end to end and the phases of the scan, runs the micro benchmarks
# and the message-gap measurement, and writes bench/RESULTS.md.
#
#   bench/run.sh            everything (a few minutes on 2 cores)
#   BENCH_QT=0 bench/run.sh skip the window build for the gap measurement
#   BENCH_QT=1 bench/run.sh insist on it
#   BENCH_SETUP=1 bench/run.sh  also time scripts/run.sh --cli from an empty
#                           build folder (some three minutes more)
#
# Folders: build-bench (and build-bench-qt) beside bench/; models in
# build-bench/models; raw measurements in build-bench/results.
set -euo pipefail
export LC_ALL=C  # pitches are written with "."

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
QT_BUILD=$ROOT/build-bench-qt
MODELS=$BUILD/models
RAW=$BUILD/results
OUT=$BUILD/out
RESULTS=$ROOT/bench/RESULTS.md
CORES=$(nproc)
PITCHES=(0.1 0.025)
MODEL_NAMES=(relief sphere torus)
BENCH_QT=${BENCH_QT:-auto}

log() { echo "== $*" >&2; }

build() {
  log "building Release in $BUILD"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >"$RAW/cmake.log"
  cmake --build "$BUILD" -j"$CORES" --target stl2hzm make_bench_models bench_scan \
    bench_gui_gaps micro_bench baseline_converter >"$RAW/build.log"
  if [[ $BENCH_QT == 0 ]]; then return; fi
  log "building the window's gap measurement in $QT_BUILD"
  if cmake -S "$ROOT" -B "$QT_BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=ON \
       -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >"$RAW/cmake-qt.log" 2>&1 &&
     cmake --build "$QT_BUILD" -j"$CORES" --target bench_gui_gaps >"$RAW/build-qt.log" 2>&1; then
    return
  fi
  [[ $BENCH_QT == 1 ]] && { echo "window build failed, see $RAW/build-qt.log" >&2; exit 1; }
  log "no window build (Qt missing?): the gap line covers the engine only"
  rm -rf "$QT_BUILD"
}

# value KEY FILE: the value of a key=value line
value() { sed -n "s/^$1=//p" "$2" | tail -1; }

# End to end, fresh processes: best wall time of 5 and the highest peak
# memory. The machine is shared; the best of several runs is the one least
# disturbed by other work.
end_to_end() {  # model pitch threads
  local model=$1 pitch=$2 threads=$3 best="" rss=0 run
  for _ in 1 2 3 4 5; do
    run=$("$BUILD/bench/bench_scan" exec "$BUILD/cli/stl2hzm" --pitch "$pitch" \
      --threads "$threads" --quiet -o "$OUT/e2e.hzm" "$MODELS/$model.stl")
    rm -f "$OUT/e2e.hzm"
    local s r
    s=$(sed -n 's/^seconds=//p' <<<"$run")
    r=$(sed -n 's/^max_rss_kib=//p' <<<"$run")
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
    if ((r > rss)); then rss=$r; fi
  done
  echo "e2e_${threads}_s=$best"
  echo "e2e_${threads}_rss_kib=$rss"
}

# The yardstick, the same way: best of 5 fresh runs, after its map has been
# checked against stl2hzm's, whole.
baseline() {  # model pitch
  local model=$1 pitch=$2 units best="" run s
  units=$(awk -v p="$pitch" 'BEGIN { printf "%d", p * 40 + 0.5 }')
  "$BUILD/cli/stl2hzm" --pitch "$pitch" --threads 1 --quiet -o "$OUT/ours.hzm" "$MODELS/$model.stl"
  "$BUILD/bench/baseline_converter" "$MODELS/$model.stl" "$units" "$OUT/yardstick.hzm" >/dev/null
  if cmp -s "$OUT/ours.hzm" "$OUT/yardstick.hzm"; then echo "baseline_same=yes"; else echo "baseline_same=NO"; fi
  rm -f "$OUT/ours.hzm" "$OUT/yardstick.hzm"
  for _ in 1 2 3 4 5; do
    run=$("$BUILD/bench/bench_scan" exec "$BUILD/bench/baseline_converter" "$MODELS/$model.stl" \
      "$units" "$OUT/yardstick.hzm")
    rm -f "$OUT/yardstick.hzm"
    s=$(sed -n 's/^seconds=//p' <<<"$run")
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "baseline_s=$best"
}

measure() {
  local model pitch f
  for model in "${MODEL_NAMES[@]}"; do
    for pitch in "${PITCHES[@]}"; do
      f=$RAW/$model-$pitch.txt
      log "$model at $pitch mm: end to end"
      # Each measurement starts with nothing left to write back from the last.
      sync
      { end_to_end "$model" "$pitch" 1; end_to_end "$model" "$pitch" "$CORES"
        baseline "$model" "$pitch"; } >"$f"
      log "$model at $pitch mm: phases"
      local repeat=5
      [[ $pitch == 0.025 ]] && repeat=3
      sync
      "$BUILD/bench/bench_scan" "$MODELS/$model.stl" "$pitch" --repeat "$repeat" \
        --samples 5 --budget 20 --workdir "$OUT" >>"$f"
    done
    log "$model at 0.1 mm, Surface on"
    sync
    "$BUILD/bench/bench_scan" "$MODELS/$model.stl" 0.1 --surface --repeat 3 --samples 5 \
      --budget 20 --workdir "$OUT" >"$RAW/$model-0.1-surface.txt"
  done
  log "micro benchmarks"
  "$BUILD/bench/micro_bench" --benchmark_min_time=0.2 >"$RAW/micro.txt" 2>&1
  log "message gaps: relief at 0.025 mm, all threads"
  local gaps=$BUILD/bench/bench_gui_gaps
  [[ -x $QT_BUILD/bench/bench_gui_gaps ]] && gaps=$QT_BUILD/bench/bench_gui_gaps
  "$gaps" "$MODELS/relief.stl" 0.025 --threads "$CORES" --workdir "$OUT" >"$RAW/gaps.txt"
}

mkdir -p "$BUILD" "$RAW" "$OUT" "$MODELS"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
build
log "making models"
"$BUILD/bench/make_bench_models" "$MODELS" >"$RAW/models.txt"
measure
if [[ ${BENCH_SETUP:-0} == 1 ]]; then
  log "scripts/run.sh --cli from an empty build folder"
  bash "$ROOT/bench/setup_time.sh" "$BUILD/setup" >"$RAW/setup.txt"
fi
log "stops inside a slow row"
BUILD=$BUILD bash "$ROOT/bench/stop_latency.sh" >/dev/null
log "devices and pipes against a file"
BUILD=$BUILD bash "$ROOT/bench/devices.sh" >/dev/null
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
export ROOT BUILD RAW CORES LOAD_BEFORE LOAD_AFTER
bash "$ROOT/bench/write_results.sh" >"$RESULTS"
log "wrote $RESULTS"

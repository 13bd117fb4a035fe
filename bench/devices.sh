#!/usr/bin/env bash
# Output to a device and a pipe against a file: stl2hzm on the relief at
# 0.1 mm writing to a file, to /dev/null, and to standard output piped into
# cat, best wall time of 5 fresh processes each. Target: the device and
# the pipe within 1.2 x the file.
#
#   bench/devices.sh            Release build in build-bench/ (as run.sh)
#   BUILD=build bench/devices.sh   an existing build folder instead
#   STL2HZM=path bench/devices.sh  another stl2hzm (an earlier build, say)
#
# Writes the table to stdout and to $BUILD/results/devices.md, which
# bench/run.sh's RESULTS.md then includes.
#
# Then the same run to a file from below (--bottom) against from above, on
# 1 thread and on all: 7 pairs of fresh processes, each pair in turn
# bottom-first or top-first so that a change of load falls on both alike;
# the figure is the median of the pairs' ratios. The relief's underside is
# other work than its top (its level base at z min, which the top never
# sweeps, is the lowest plane everywhere), so the like-for-like pair is
# --bottom of the relief mirrored in z (every vertex z negated in the
# text) against the relief's top: the same surface, swept through the
# bottom's mirror. Target: within 1.05 x. The relief's own underside is
# shown beside it. Written to $BUILD/results/bottom.md as well.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
OUT=$BUILD/out-devices
MODELS=$BUILD/models
mkdir -p "$OUT" "$MODELS" "$BUILD/results"

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
fi
if [[ -z ${STL2HZM:-} ]]; then
  cmake --build "$BUILD" -j2 --target stl2hzm make_bench_models >/dev/null
  STL2HZM=$BUILD/cli/stl2hzm
fi
[[ -f $MODELS/relief.stl ]] || "$BUILD/bench/make_bench_models" "$MODELS" >/dev/null

# best TARGET: best wall time of 5 (file: a file that does not exist yet)
best() {
  local target=$1 best="" start end s
  for _ in 1 2 3 4 5; do
    rm -f "$OUT/r.hzm"
    start=$(date +%s.%N)
    case $target in
      file) "$STL2HZM" -q --pitch 0.1 -o "$OUT/r.hzm" "$MODELS/relief.stl" ;;
      device) "$STL2HZM" -q --pitch 0.1 -o /dev/null "$MODELS/relief.stl" ;;
      pipe) "$STL2HZM" -q --pitch 0.1 -o - "$MODELS/relief.stl" | cat >/dev/null ;;
    esac
    end=$(date +%s.%N)
    s=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  rm -f "$OUT/r.hzm"
  echo "$best"
}

file=$(best file)
{
  echo "| target | best of 5 s | against the file | target 1.2 x |"
  echo "|---|---|---|---|"
  printf "| file | %.3f | 1.00 x | |\n" "$file"
  for target in device pipe; do
    s=$(best "$target")
    name=$([[ $target == device ]] && echo "\`-o /dev/null\`" || echo "\`-o - \\| cat >/dev/null\`")
    awk -v n="$name" -v s="$s" -v f="$file" 'BEGIN {
      printf "| %s | %.3f | %.2f x | %s |\n", n, s, s / f, (s <= 1.2 * f) ? "met" : "**not met**" }'
  done
} | tee "$BUILD/results/devices.md"

mirrored=$MODELS/relief-mirrored.stl
[[ -f $mirrored ]] || awk '$1 == "vertex" {
    $4 = substr($4, 1, 1) == "-" ? substr($4, 2) : "-" $4 } { print }' \
  "$MODELS/relief.stl" >"$mirrored"

# timed MODEL ARGS...: wall seconds of one run to a file that does not
# exist yet
timed() {
  local model=$1 start end
  shift
  rm -f "$OUT/r.hzm"
  start=$(date +%s.%N)
  "$STL2HZM" -q --pitch 0.1 -o "$OUT/r.hzm" "$@" "$model"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# paired THREADS BOTTOM_MODEL: "top_best bottom_best median_ratio" of 7
# pairs, the relief's top against BOTTOM_MODEL's underside
paired() {
  local threads=$1 model=$2 top bottom k tops="" bottoms="" ratios=""
  for k in 1 2 3 4 5 6 7; do
    if ((k % 2)); then
      bottom=$(timed "$model" --threads "$threads" --bottom)
      top=$(timed "$MODELS/relief.stl" --threads "$threads")
    else
      top=$(timed "$MODELS/relief.stl" --threads "$threads")
      bottom=$(timed "$model" --threads "$threads" --bottom)
    fi
    tops+="$top "
    bottoms+="$bottom "
    ratios+="$(awk -v a="$top" -v b="$bottom" 'BEGIN { print b / a }') "
  done
  rm -f "$OUT/r.hzm"
  python3 -c "
import statistics, sys
t, b, r = ([float(v) for v in a.split()] for a in sys.argv[1:4])
print(min(t), min(b), statistics.median(r))" "$tops" "$bottoms" "$ratios"
}

cores=$(nproc)
{
  echo
  echo "| threads | from above, best s | --bottom of | from below, best s | median of 7 paired ratios | target 1.05 x |"
  echo "|---|---|---|---|---|---|"
  for threads in 1 "$cores"; do
    for model in "$mirrored" "$MODELS/relief.stl"; do
      read -r top bottom ratio < <(paired "$threads" "$model")
      name=$([[ $model == "$mirrored" ]] && echo "the mirrored relief" || echo "the relief itself")
      awk -v n="$threads" -v m="$name" -v t="$top" -v b="$bottom" -v r="$ratio" \
        -v like="$([[ $model == "$mirrored" ]] && echo 1 || echo 0)" 'BEGIN {
        verdict = like ? ((r <= 1.05) ? "met" : "**not met**") : "(other work)"
        printf "| %s | %.3f | %s | %.3f | %.3f x | %s |\n", n, t, m, b, r, verdict }'
    done
  done
} | tee "$BUILD/results/bottom.md"

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

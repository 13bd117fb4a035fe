#!/usr/bin/env bash
# The binary reader against the ASCII reader on the benchmark relief: makes
# the relief, its binary copy and the copy's exact ASCII twin
# (tools/stl_float32_pair.py), then reports the reader alone (bench_scan,
# in process, best of 5) and stl2hzm end to end (0.1 mm, one thread, best
# of 5) for the ASCII relief and the binary copy, and checks that the copy
# and its twin give the same map.
#
#   bench/binary_reader.sh     (uses build-bench/, as bench/run.sh does)
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
MODELS=$BUILD/models
OUT=$BUILD/out
mkdir -p "$MODELS" "$OUT"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
  -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target stl2hzm make_bench_models bench_scan >/dev/null
[[ -f $MODELS/relief.stl ]] || "$BUILD/bench/make_bench_models" "$MODELS" >/dev/null
python3 "$ROOT/tools/stl_float32_pair.py" "$MODELS/relief.stl" "$MODELS/relief-twin.stl" \
  "$MODELS/relief-binary.stl"

reader() {  # model: best reader seconds of 5
  "$BUILD/bench/bench_scan" "$1" 6.375 --repeat 5 --samples 1 --budget 1 --workdir "$OUT" |
    sed -n 's/^read_s=//p' | tail -1
}

end_to_end() {  # model: best wall seconds of 5
  local best="" s
  for _ in 1 2 3 4 5; do
    # Into a file that does not exist yet, as bench/run.sh times its runs:
    # replacing the last run's map would add the freeing of its blocks.
    rm -f "$OUT/e2e.hzm"
    s=$("$BUILD/bench/bench_scan" exec "$BUILD/cli/stl2hzm" --pitch 0.1 --threads 1 --quiet \
      -o "$OUT/e2e.hzm" "$1" | sed -n 's/^seconds=//p')
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best"
}

"$BUILD/cli/stl2hzm" -q --pitch 0.1 -o "$OUT/twin.hzm" "$MODELS/relief-twin.stl"
"$BUILD/cli/stl2hzm" -q --pitch 0.1 -o "$OUT/binary.hzm" "$MODELS/relief-binary.stl"
cmp "$OUT/twin.hzm" "$OUT/binary.hzm" && echo "binary copy and ASCII twin: same map"
rm -f "$OUT/twin.hzm" "$OUT/binary.hzm" "$OUT/e2e.hzm"

ascii_read=$(reader "$MODELS/relief.stl")
binary_read=$(reader "$MODELS/relief-binary.stl")
ascii_e2e=$(end_to_end "$MODELS/relief.stl")
binary_e2e=$(end_to_end "$MODELS/relief-binary.stl")
# Targets: the binary reader at least 5 x faster than the ASCII one, and
# stl2hzm on the binary copy at least 2 x faster end to end.
awk -v a="$ascii_read" -v b="$binary_read" -v c="$ascii_e2e" -v d="$binary_e2e" 'BEGIN {
  printf "reader: ASCII %.3f s, binary %.3f s, %.1f x faster (target 5 x: %s)\n", a, b, a / b,
    (a >= 5 * b) ? "met" : "not met"
  printf "stl2hzm at 0.1 mm, 1 thread: ASCII %.3f s, binary %.3f s, %.1f x faster (target 2 x: %s)\n",
    c, d, c / d, (c >= 2 * d) ? "met" : "not met"
}'

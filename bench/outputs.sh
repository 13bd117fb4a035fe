#!/usr/bin/env bash
# The extra outputs against the height map alone: the relief at 0.1 mm and
# 0.025 mm, stl2hzm writing HZM only and HZM + PNG + ASC in one run, best
# wall time of 3 fresh processes and their peak memory, with the targets:
# the extra outputs add at most 50 % to the time, and peak memory stays
# under 80 bytes a triangle + 64 MB + 2 bytes a point.
#
#   bench/outputs.sh            Release build in build-bench/ (as run.sh)
#   BUILD=build bench/outputs.sh   an existing build folder instead
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
OUT=$BUILD/out-outputs
MODELS=$BUILD/models
mkdir -p "$OUT" "$MODELS"

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target stl2hzm make_bench_models bench_scan >/dev/null
[[ -f $MODELS/relief.stl ]] || "$BUILD/bench/make_bench_models" "$MODELS" >/dev/null

# best_of PITCH ARGS...: "seconds max_rss_kib", best time and highest memory of 3
best_of() {
  local pitch=$1 best="" rss=0 run s r
  shift
  for _ in 1 2 3; do
    sync
    run=$("$BUILD/bench/bench_scan" exec "$BUILD/cli/stl2hzm" --pitch "$pitch" --quiet \
      -o "$OUT/r.hzm" "$@" "$MODELS/relief.stl")
    s=$(sed -n 's/^seconds=//p' <<<"$run")
    r=$(sed -n 's/^max_rss_kib=//p' <<<"$run")
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
    ((r > rss)) && rss=$r
  done
  echo "$best $rss"
}

triangles=$(grep -c 'outer loop' "$MODELS/relief.stl")
echo "| pitch | points | HZM alone s | + PNG + ASC s | added | peak MB | memory target MB |"
echo "|---|---|---|---|---|---|---|"
for pitch in 0.1 0.025; do
  read -r alone _ < <(best_of "$pitch")
  read -r all rss < <(best_of "$pitch" --also "$OUT/r.png" --also "$OUT/r.asc")
  points=$(python3 -c "
import struct,zlib
d=open('$OUT/r.png','rb').read(); w,h=struct.unpack('>II',d[16:24]); print(w*h)")
  awk -v p="$pitch" -v n="$points" -v a="$alone" -v b="$all" -v rss="$rss" -v t="$triangles" \
    'BEGIN { target = (80 * t + 64 * 1048576 + 2 * n) / 1048576;
             printf "| %s | %d | %.3f | %.3f | %+.0f %% %s | %.1f | %.1f %s |\n", p, n, a, b,
               (b / a - 1) * 100, (b <= 1.5 * a) ? "met" : "NOT met", rss / 1024, target,
               (rss * 1024 <= target * 1048576) ? "met" : "NOT met" }'
  rm -f "$OUT"/r.*
done

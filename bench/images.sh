#!/usr/bin/env bash
# The images and grids cropped to the model against the same outputs over
# the whole lattice from the origin, and NODATA against --fill: stl2hzm
# writing a PNG and an ESRI grid (no height map, so only their window is
# scanned), one thread, best wall time of 3 fresh processes. Targets: the
# cropped outputs cost no more than the uncropped ones. The model is
# ../shared/corpus/openscad-far-out-ring.stl, a ring far from the origin,
# when that folder is there (else the bench's relief, which starts at the
# origin: both windows are then the same), at 0.1 mm.
#
#   bench/images.sh               Release build in build-bench/ (as run.sh)
#   BUILD=build bench/images.sh   an existing build folder instead
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
OUT=$BUILD/out-images
MODELS=$BUILD/models
mkdir -p "$OUT" "$MODELS"

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target stl2hzm make_bench_models bench_scan >/dev/null
[[ -f $MODELS/relief.stl ]] || "$BUILD/bench/make_bench_models" "$MODELS" >/dev/null

model=$ROOT/../shared/corpus/openscad-far-out-ring.stl
[[ -f $model ]] || model=$MODELS/relief.stl

# best_of ARGS...: the best seconds of 3 runs writing r.png and r.asc.
best_of() {
  local best="" run s
  for _ in 1 2 3; do
    rm -f "$OUT"/r.*
    sync
    run=$("$BUILD/bench/bench_scan" exec "$BUILD/cli/stl2hzm" --pitch 0.1 --threads 1 --quiet \
      -o "$OUT/r.png" --also "$OUT/r.asc" "$@" "$model")
    s=$(sed -n 's/^seconds=//p' <<<"$run")
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best"
}

# The whole lattice from the origin, in millimetres: from the smaller of 0
# and the model's lower left to its upper right, as the height map's.
whole=$(python3 - "$model" <<'PY'
import re, struct, sys
lo = [0.0, 0.0]; hi = [0.0, 0.0]
data = open(sys.argv[1], 'rb').read()
values = [tuple(map(float, m.groups())) for m in
          re.finditer(rb'vertex\s+(\S+)\s+(\S+)\s+\S+', data)]
for x, y in values:
    lo = [min(lo[0], x), min(lo[1], y)]; hi = [max(hi[0], x), max(hi[1], y)]
print(f"{lo[0]},{lo[1]},{hi[0]},{hi[1]}")
PY
)
cropped_fill=$(best_of --fill)
whole_fill=$(best_of --fill --bounds "$whole")
cropped_nodata=$(best_of)
echo "Model: $(basename "$model") at 0.1 mm, one thread"
echo
echo "| PNG + ASC over | NODATA | s |"
echo "|---|---|---|"
awk -v c="$cropped_fill" -v w="$whole_fill" -v n="$cropped_nodata" 'BEGIN {
  printf "| the whole lattice from the origin | --fill | %.3f |\n", w
  printf "| the model (only its window scanned) | --fill | %.3f (%s) |\n", c,
    (c <= w) ? "no more than the whole lattice: met" : "NOT met"
  printf "| the model (only its window scanned) | NODATA | %.3f |\n", n }'
rm -f "$OUT"/r.*

#!/usr/bin/env bash
# stl2hzm.exe under Wine against the Linux stl2hzm, side by side in one run:
# the benchmark relief at 0.1 mm with 1 and 2 threads, the two programs in
# turn (Linux, Windows, Linux, ...) RUNS times each, and the median of each
# program's wall time and of the ratios pair by pair. Target: the Windows
# build under Wine at most 1.5 x the Linux build. Starting a program under
# Wine costs a fixed few hundredths of a second (its loader, its server):
# the start-up of each (`--version`, median) is measured too, and the ratio
# less it shown beside the whole one. Writes
# bench/RESULTS-windows.md.
#
#   bench/windows.sh            Release builds in build-bench/ and build-windows-package/
#   RUNS=9 bench/windows.sh     more pairs (default 5)
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
WINDOWS=$ROOT/build-windows-package
MODELS=$BUILD/models
OUT=$BUILD/out-windows
RUNS=${RUNS:-5}
RESULTS=$ROOT/bench/RESULTS-windows.md
mkdir -p "$OUT" "$MODELS"

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF \
    -DPELMORO_BENCH=ON -DPELMORO_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target stl2hzm make_bench_models >/dev/null
[[ -f $MODELS/relief.stl ]] || "$BUILD/bench/make_bench_models" "$MODELS" >/dev/null
bash "$ROOT/scripts/package-windows.sh" "$WINDOWS" >/dev/null

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d)
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
# A fresh prefix is set up by programs that go on in the background for a
# while; the runs start once they have ended. The Wine server then stays up
# between runs, as it does on a desktop.
/usr/lib/wine/wine64 "$WINDOWS/cli/stl2hzm.exe" --version >/dev/null 2>&1
/usr/lib/wine/wineserver -w
/usr/lib/wine/wineserver -p || true
/usr/lib/wine/wine64 "$WINDOWS/cli/stl2hzm.exe" --version >/dev/null

# seconds COMMAND...: the wall time of one run, writing a fresh map.
seconds() {
  rm -f "$OUT"/r.hzm
  sync
  /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

{
  echo "# stl2hzm.exe under Wine against the Linux build"
  echo
  echo "Written by \`bench/windows.sh\`: the benchmark relief ($(grep -c 'outer loop' "$MODELS/relief.stl") triangles) at 0.1 mm,"
  echo "$RUNS runs of each program in turn, fresh output each time; medians."
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores; $(/usr/lib/wine/wine64 --version)"
  echo "- Commit: $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo
  start_linux=$(for _ in $(seq "$RUNS"); do seconds "$BUILD/cli/stl2hzm" --version; done | median)
  start_windows=$(for _ in $(seq "$RUNS"); do
    seconds /usr/lib/wine/wine64 "$WINDOWS/cli/stl2hzm.exe" --version
  done | median)
  echo "Start-up (\`--version\`): Linux $start_linux s, Windows under Wine $start_windows s."
  echo
  echo "| threads | Linux s | Windows under Wine s | ratio (median of pairs) | ratio less start-up | target |"
  echo "|---|---|---|---|---|---|"
  for threads in 1 2; do
    args=(--pitch 0.1 --quiet --threads "$threads")
    linux=() windows=() ratios=()
    for _ in $(seq "$RUNS"); do
      a=$(seconds "$BUILD/cli/stl2hzm" "${args[@]}" -o "$OUT/r.hzm" "$MODELS/relief.stl")
      b=$(seconds /usr/lib/wine/wine64 "$WINDOWS/cli/stl2hzm.exe" "${args[@]}" -o "$OUT/r.hzm" \
        "$MODELS/relief.stl")
      linux+=("$a") windows+=("$b")
      ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", b / a }')")
    done
    l=$(printf '%s\n' "${linux[@]}" | median)
    w=$(printf '%s\n' "${windows[@]}" | median)
    r=$(printf '%s\n' "${ratios[@]}" | median)
    net=$(awk -v l="$l" -v w="$w" -v a="$start_linux" -v b="$start_windows" \
      'BEGIN { printf "%.3f", (w - b) / (l - a) }')
    echo "| $threads | $l | $w | $r | $net | <= 1.5 |"
  done
} >"$RESULTS"
cat "$RESULTS"

#!/usr/bin/env bash
# Installs what is missing (scripts/install-deps.sh run), builds the programs
# only (no tests, no benchmarks), and opens the converter window.
#
#   scripts/run.sh          the window: type the pitch, press Convert, pick
#                           the STL input and the HZM output
#   scripts/run.sh --cli    the command line instead: builds stl2hzm alone and
#                           converts the example model without a window, as
#                           build/cli/stl2hzm --pitch 0.5 -o OUT examples/relief.stl
#                           (build/cli/stl2hzm --help tells the rest)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

if [ "${1:-}" != "--cli" ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to open the window on; converting with the command line" >&2
  set -- --cli
fi
targets=(stl2hzm pelmoro)
if [ "${1:-}" = "--cli" ]; then targets=(stl2hzm); fi

bash "$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORO_TESTS=OFF -DPELMORO_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

if [ "${1:-}" = "--cli" ]; then
  out="$build/example.hzm"
  "$build/cli/stl2hzm" --pitch 0.5 -o "$out" "$root/examples/relief.stl"
  echo "height map written to $out"
  exit 0
fi
exec "$build/app/pelmoro"

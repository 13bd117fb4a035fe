#!/usr/bin/env bash
# Installs what is missing, builds, and opens the converter window.
#
#   scripts/run.sh          the window: type the pitch, press Convert, pick
#                           the STL input and the HZM output
#   scripts/run.sh --cli    the command line instead: converts the example
#                           model without a window, as
#                           build/cli/stl2hzm --pitch 0.5 -o OUT examples/relief.stl
#                           (build/cli/stl2hzm --help tells the rest)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" "$root/build"

if [ "${1:-}" != "--cli" ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to open the window on; converting with the command line" >&2
  set -- --cli
fi
if [ "${1:-}" = "--cli" ]; then
  out="$root/build/example.hzm"
  "$root/build/cli/stl2hzm" --pitch 0.5 -o "$out" "$root/examples/relief.stl"
  echo "height map written to $out"
  exit 0
fi
exec "$root/build/app/pelmoro"

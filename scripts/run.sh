#!/usr/bin/env bash
# Installs what is missing, builds, and converts the example model with the
# command line (the window follows).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" "$root/build"
out="$root/build/example.hzm"
"$root/build/cli/stl2hzm" --pitch 0.5 -o "$out" "$root/examples/relief.stl"
echo "height map written to $out"

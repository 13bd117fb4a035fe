#!/usr/bin/env bash
# Configures and builds everything, tests and benchmarks included, into a
# folder: build.sh [BUILD_DIR] [cmake options...] (later options win, so
# -DPELMORO_BENCH=OFF leaves the benchmarks out). The folder may be the one
# scripts/run.sh configured without tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORO_TESTS=ON \
  -DPELMORO_BENCH=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

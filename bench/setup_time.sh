#!/usr/bin/env bash
# Times scripts/run.sh --cli as a new user meets it once the packages are
# installed: a fresh copy of the committed sources, an empty build folder,
# no compiler cache. Prints key=value lines for write_results.sh.
#
#   bench/setup_time.sh WORK_DIR     (bench/run.sh runs it with BENCH_SETUP=1)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
work=$1
rm -rf "$work/src"
mkdir -p "$work/src"
git -C "$ROOT" archive HEAD | tar -x -C "$work/src"
bash "$ROOT/scripts/install-deps.sh" run  # installs are not what is timed
start=$(date +%s.%N)
CCACHE_DISABLE=1 bash "$work/src/scripts/run.sh" --cli >"$work/run.log" 2>&1
end=$(date +%s.%N)
echo "setup_cli_s=$(awk "BEGIN { printf \"%.1f\", $end - $start }")"
echo "setup_compile_steps=$(grep -c 'Building CXX' "$work/run.log")"
echo "setup_load=$(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work/src"

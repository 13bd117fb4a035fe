#!/usr/bin/env bash
# The tests that run the threaded code, built with ThreadSanitizer (g++) into
# build-tsan/: the scan's worker threads (engine/scan/row_pipeline.cpp), the
# output file's fsync thread (outputs/files/output_file.cpp) and the flushes a
# text file starts as it grows (foundation/text_file_writing.cpp), alone and
# in whole conversions, in process and through stl2hzm. Any report fails its
# test.
# Left out: the tests whose time goes into the plain reference scan, the
# corpus files or millions of generated numbers, single-threaded work that
# the plain and ASan builds cover; the threaded paths they take are taken
# by smaller tests here too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-tsan"
jobs=$(nproc)
suites=(foundation engine outputs run cli)

bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DPELMORO_TSAN=ON \
  -DPELMORO_WITH_QT=OFF -DPELMORO_BENCH=OFF -DPELMORO_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs" --target "${suites[@]/%/_tests}"
label="^($(IFS='|'; echo "${suites[*]}"))\$"
slow='Corpus|WideLattice|LongThinFan|NarrowColumns|SliversAndDegenerates|PlainScan/Pitch[12] |ParseRealFastPath|GridFieldTest|TextFileBlocks'

(cd "$build" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j"$jobs" -L "$label" -E "$slow")

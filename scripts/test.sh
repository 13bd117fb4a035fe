#!/usr/bin/env bash
# Installs what is missing, checks that the sources are formatted by the
# checked-in .clang-format, builds, and runs every test: the normal build
# (window included, headless), then the engine's tests under ASan and UBSan,
# then the Debian package: built by package.sh, checked by check-package.sh;
# then the Windows build, cross-compiled and tested under Wine
# (test-windows.sh); then the threaded code's tests under TSan, and last the
# fuzz targets, each
# for a fixed time (PELMORO_FUZZ_SECONDS, default 20) and then over its
# corpus. Warnings are errors in every build here. The sanitizer builds are
# optimised lightly (-O1, line tables only): they compile in half the time
# and catch the same faults.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
strict=(-DPELMORO_WERROR=ON)

bash "$root/scripts/install-deps.sh" test
bash "$root/scripts/check-format.sh"

bash "$root/scripts/build.sh" "$root/build" "${strict[@]}"
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

bash "$root/scripts/build.sh" "$root/build-asan" -DPELMORO_SANITIZE=ON -DPELMORO_WITH_QT=OFF \
  -DPELMORO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  "${strict[@]}"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

bash "$root/scripts/package.sh" "$root/build-package"
bash "$root/scripts/check-package.sh" "$root/build-package" "$root/build/cli/stl2hzm"

bash "$root/scripts/test-windows.sh" "$root/build/cli/stl2hzm"

bash "$root/scripts/test-tsan.sh"
bash "$root/scripts/test-fuzz.sh"

#!/usr/bin/env bash
# Builds the Debian packages: a Release tree of the two programs (no tests,
# no benchmarks) with Debian's hardening flags and warnings as errors, as in
# every build of scripts/test.sh, then CPack's DEB generator.
#
#   scripts/package.sh [BUILD_DIR]     default build-package/; the packages are
#                                      BUILD_DIR/pelmoro_VERSION_ARCH.deb (the
#                                      window and the command line) and
#                                      BUILD_DIR/stl2hzm_VERSION_ARCH.deb (the
#                                      command line alone, without Qt)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-package"}
bash "$root/scripts/install-deps.sh" test

# The dates inside the package (manual pages) are the last commit's.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
# Debian's compiler and linker flags (stack protector, fortify, relro, now);
# the optimisation and debug info come from the Release build type.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELMORO_TESTS=OFF -DPELMORO_BENCH=OFF \
  -DPELMORO_WERROR=ON -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/pelmoro_*.deb "$build"/stl2hzm_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb

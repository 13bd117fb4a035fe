#!/usr/bin/env bash
# Builds the Windows release: cross-compiles the Release programs (no tests)
# into BUILD_DIR and makes there
#   pelmoro-VERSION-win64.zip        pelmoro.exe (the window), stl2hzm.exe,
#                                    README.txt and LICENSE.txt in Windows
#                                    line ends, and the example model;
#   pelmoro-VERSION-win64-setup.exe  the installer of the same files
#                                    (packaging/windows/pelmoro.nsi).
# Prints the two paths, the zip's first.
#
#   scripts/package-windows.sh [BUILD_DIR]     default build-windows-package/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-windows-package"}
bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF -DPELMORO_TESTS=OFF -DPELMORO_BENCH=OFF \
  -DPELMORO_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target stl2hzm pelmoro
version=$(sed -n 's/^project(pelmoro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="pelmoro-$version-win64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage"
cp "$build/cli/stl2hzm.exe" "$build/winapp/pelmoro.exe" "$stage/"
x86_64-w64-mingw32-strip "$stage/stl2hzm.exe" "$stage/pelmoro.exe"
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
cp "$root/examples/relief.stl" "$stage/"
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
  -DOUTFILE="$build/$name-setup.exe" "$root/packaging/windows/pelmoro.nsi" >&2
echo "$build/$name.zip"
echo "$build/$name-setup.exe"

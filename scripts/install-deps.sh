#!/usr/bin/env bash
# Installs what pelmoro needs to build, test, benchmark and package on Debian 12.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
  g++ cmake make git
  clang-14 libclang-rt-14-dev llvm-14  # the fuzz targets: libFuzzer, the sanitizers, llvm-symbolizer
  clang-format-14  # the format check
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpng-dev libisal-dev pkgconf
  gdal-bin  # gdalinfo, which the tests read the ESRI grids back with
  fonts-ipafont-gothic
  locales gettext
  python3 scdoc dpkg-dev file
  lintian appstream desktop-file-utils bash-completion
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev  # the Windows build
  wine wine64  # the Windows build's tests
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# A locale whose decimal separator is a comma, for the tests of the pitch
# as users with such a locale type it, and a Japanese one, for the tests of
# stl2hzm's messages in Japanese.
has_locale() { locale -a 2>/dev/null | grep -qi "^$1\.utf-\?8\$"; }
need_locale() { ! has_locale de_DE || ! has_locale ja_JP; }

if [ ${#missing[@]} -eq 0 ] && ! need_locale; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

for name in de_DE ja_JP; do
  if ! has_locale "$name"; then
    "${sudo_cmd[@]}" localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done

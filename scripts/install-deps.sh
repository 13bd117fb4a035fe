#!/usr/bin/env bash
# Installs what pelmoro needs on Debian 12, for one of two profiles:
#
#   install-deps.sh run     what scripts/run.sh needs to build and run the two
#                           programs: the compiler, CMake, Qt 6 and its own
#                           translations, libpng, ISA-L, zlib, libtiff,
#                           libgeotiff, PROJ, gettext, the Japanese fonts
#   install-deps.sh test    that and what scripts/test.sh needs besides
#                           (the default): GoogleTest, Google Benchmark,
#                           clang 14 with its sanitizer and libFuzzer runtimes,
#                           the format check, the packaging tools, the
#                           MinGW-w64 cross compiler with its zlib, NSIS for
#                           the Windows installer, Wine for the Windows
#                           build's tests (with a virtual display and xdotool
#                           for the window's), and the locales the tests use
#
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

profile=${1:-test}
run_packages=(
  g++ cmake make git pkgconf
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-translations-l10n  # Qt's own texts (file dialogs) in the user's language
  libpng-dev libisal-dev zlib1g-dev
  libtiff-dev libgeotiff-dev libproj-dev  # GeoTIFF and the reference systems of --crs
  gettext  # msgfmt: the message catalogs
  python3 scdoc  # the manual pages and icons, which every configuration describes
  fonts-ipafont-gothic
)
test_packages=(
  clang-14 libclang-rt-14-dev llvm-14  # the fuzz targets: libFuzzer, the sanitizers, llvm-symbolizer
  clang-format-14  # the format check
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  locales
  dpkg-dev file lintian appstream desktop-file-utils bash-completion
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev  # the Windows build
  wine wine64  # the Windows build's tests
  nsis  # makensis: the Windows installer
  gdal-bin  # gdalinfo, which the tests read the ESRI grids back with
  xvfb xdotool x11-apps  # the Windows window under Wine: a display, the keyboard, screenshots
)
case "$profile" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "install-deps.sh: unknown profile '$profile' (run or test)" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# For the tests: a locale whose decimal separator is a comma, for the pitch
# as users with such a locale type it, and a Japanese one, for stl2hzm's
# messages in Japanese.
has_locale() { locale -a 2>/dev/null | grep -qi "^$1\.utf-\?8\$"; }
need_locale() { [ "$profile" = test ] && { ! has_locale de_DE || ! has_locale ja_JP; }; }

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

if [ "$profile" = test ]; then
  for name in de_DE ja_JP; do
    if ! has_locale "$name"; then
      "${sudo_cmd[@]}" localedef -i "$name" -f UTF-8 "$name.UTF-8"
    fi
  done
fi

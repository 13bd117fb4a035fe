#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh built, as Debian would:
# the files they hold, their dependencies, the desktop entry and AppStream
# metadata (desktop-file-validate, appstreamcli), lintian, and the programs
# unpacked into a temporary root and run from there.
#
#   scripts/check-package.sh [BUILD_DIR [REFERENCE_STL2HZM]]
#
# BUILD_DIR is package.sh's (default build-package/). Each package's stl2hzm
# must write the very height map that REFERENCE_STL2HZM writes (default
# build/cli/stl2hzm, the tree the tests ran on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-package"}
reference=${2:-"$root/build/cli/stl2hzm"}
problems=0
fail() { echo "check-package: $*" >&2; problems=$((problems + 1)); }

# The one NAME_*.deb of the build folder.
package_file() {
  local debs=("$build/$1"_*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "check-package: expected one $1_*.deb in $build (run scripts/package.sh)" >&2
    exit 1
  fi
  echo "${debs[0]}"
}
window_deb=$(package_file pelmoro)
cli_deb=$(package_file stl2hzm)
version=$(dpkg-deb -f "$window_deb" Version)

# The files a user of each package relies on.
cli_files=(
  usr/bin/stl2hzm
  usr/share/man/man1/stl2hzm.1.gz
  usr/share/bash-completion/completions/stl2hzm
  usr/share/locale/ja/LC_MESSAGES/stl2hzm.mo
)
window_files=(
  "${cli_files[@]}"
  usr/bin/pelmoro
  usr/share/man/man1/pelmoro.1.gz
  usr/share/applications/pelmoro.desktop
  usr/share/icons/hicolor/scalable/apps/pelmoro.svg
  usr/share/metainfo/org.pelmoro.pelmoro.metainfo.xml
  usr/share/doc/pelmoro/copyright
  usr/share/doc/pelmoro/changelog.gz
)
cli_files+=(usr/share/doc/stl2hzm/copyright usr/share/doc/stl2hzm/changelog.gz)
sizes=(16 32 48 64 128 256)
for n in "${sizes[@]}"; do window_files+=("usr/share/icons/hicolor/${n}x${n}/apps/pelmoro.png"); done

# check_files DEB FILE...: DEB holds every FILE.
check_files() {
  local deb=$1 listing f
  shift
  listing=$(dpkg-deb -c "$deb" | awk '{ sub(/^\.\//, "", $6); print $6 }')
  for f in "$@"; do
    grep -qxF "$f" <<<"$listing" || fail "$(basename "$deb") lacks /$f"
  done
  if [ "$deb" = "$cli_deb" ] && grep -q '^usr/bin/pelmoro$\|^usr/share/icons/' <<<"$listing"; then
    fail "$(basename "$deb") holds parts of the window"
  fi
}
check_files "$window_deb" "${window_files[@]}"
check_files "$cli_deb" "${cli_files[@]}"

window_depends=$(dpkg-deb -f "$window_deb" Depends)
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
  grep -q "\b$lib\b" <<<"$window_depends" || fail "pelmoro's Depends names no $lib: $window_depends"
done
grep -q "\blibc6\b" <<<"$cli_depends" || fail "stl2hzm's Depends names no libc6: $cli_depends"
if grep -q "qt" <<<"$cli_depends"; then fail "stl2hzm depends on Qt: $cli_depends"; fi
window_recommends=$(dpkg-deb -f "$window_deb" Recommends)
grep -q "\bqt6-translations-l10n\b" <<<"$window_recommends" ||
  fail "pelmoro does not recommend Qt's translations: '$window_recommends'"
[ "$(dpkg-deb -f "$cli_deb" Version)" = "$version" ] || fail "the two packages have two versions"
changelog_version=$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/changelog is at $changelog_version, the packages at $version"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$window_deb" "$tmp/pelmoro"
dpkg-deb -x "$cli_deb" "$tmp/stl2hzm"
usr=$tmp/pelmoro/usr

for n in "${sizes[@]}"; do
  grep -q "^PNG image data, $n x $n," <<<"$(file -b "$usr/share/icons/hicolor/${n}x${n}/apps/pelmoro.png")" ||
    fail "the ${n}x${n} icon is not a $n x $n PNG"
done
for page in "$usr/share/man/man1/"*.gz; do
  gzip -t "$page" || fail "$page is not gzipped"
done
bash -n "$usr/share/bash-completion/completions/stl2hzm" || fail "the completion is not valid bash"
desktop-file-validate "$usr/share/applications/pelmoro.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --strict "$usr/share/metainfo/org.pelmoro.pelmoro.metainfo.xml" ||
  fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$tmp/pelmoro" || fail "appstreamcli validate-tree"
# Errors and warnings fail; the informational tags left are in CONTRIBUTING.md.
lintian_report=$(lintian --fail-on error,warning "$window_deb" "$cli_deb" 2>&1) || fail "lintian"
grep -v "^running with root privileges" <<<"$lintian_report" || true

# The unpacked programs run against the system's libraries.
if ldd "$usr/bin/pelmoro" | grep -q "not found"; then fail "pelmoro misses a library"; fi
model=$root/examples/relief.stl
if [ -x "$reference" ]; then
  "$reference" -q --pitch 0.5 -o "$tmp/reference.hzm" "$model"
else
  echo "check-package: no $reference to compare the height maps with" >&2
fi
licence=$(sed -n '1s/ License$//p' "$root/LICENSE")
for package in pelmoro stl2hzm; do
  program=$tmp/$package/usr/bin/stl2hzm
  version_text=$("$program" --version) || fail "$package: stl2hzm --version failed"
  [ "$(sed -n 1p <<<"$version_text")" = "stl2hzm $version" ] ||
    fail "$package: stl2hzm --version does not give the package's version $version: $version_text"
  grep -qx "License: $licence" <<<"$version_text" ||
    fail "$package: stl2hzm --version does not name the licence of LICENSE ($licence): $version_text"
  out=$tmp/$package.hzm
  "$program" -q --pitch 0.5 -o "$out" "$model" || fail "$package: stl2hzm failed on $model"
  [ -s "$out" ] || fail "$package: stl2hzm wrote no height map"
  if [ -f "$tmp/reference.hzm" ] && ! cmp -s "$out" "$tmp/reference.hzm"; then
    fail "$package: its stl2hzm and $reference write different height maps"
  fi
  # The installed catalog is found: a Japanese user reads the system's text.
  said=$(LC_ALL=ja_JP.UTF-8 "$program" -q "$tmp/missing.stl" 2>&1) || true
  grep -q "ファイルが見つかりません" <<<"$said" ||
    fail "$package: stl2hzm finds no Japanese catalog: $said"
done

if [ "$problems" -ne 0 ]; then
  echo "check-package: $problems problem(s)" >&2
  exit 1
fi
echo "check-package: $(basename "$window_deb") and $(basename "$cli_deb") pass every check"

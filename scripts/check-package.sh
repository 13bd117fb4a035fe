#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built, as Debian would:
# the files it holds, its dependencies, the desktop entry and AppStream
# metadata (desktop-file-validate, appstreamcli), lintian, and the programs
# unpacked into a temporary root and run from there.
#
#   scripts/check-package.sh [BUILD_DIR [REFERENCE_STL2HZM]]
#
# BUILD_DIR is package.sh's (default build-package/). The installed stl2hzm
# must write the very height map that REFERENCE_STL2HZM writes (default
# build/cli/stl2hzm, the tree the tests ran on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-package"}
reference=${2:-"$root/build/cli/stl2hzm"}
problems=0
fail() { echo "check-package: $*" >&2; problems=$((problems + 1)); }

debs=("$build"/pelmoro_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "check-package: expected one pelmoro_*.deb in $build (run scripts/package.sh)" >&2
  exit 1
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
echo "check-package: $deb"

# The files a user of the package relies on.
expected=(
  usr/bin/pelmoro
  usr/bin/stl2hzm
  usr/share/man/man1/stl2hzm.1.gz
  usr/share/man/man1/pelmoro.1.gz
  usr/share/bash-completion/completions/stl2hzm
  usr/share/applications/pelmoro.desktop
  usr/share/icons/hicolor/scalable/apps/pelmoro.svg
  usr/share/metainfo/org.pelmoro.pelmoro.metainfo.xml
  usr/share/doc/pelmoro/copyright
  usr/share/doc/pelmoro/changelog.gz
)
sizes=(16 32 48 64 128 256)
for n in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${n}x${n}/apps/pelmoro.png"); done
listing=$(dpkg-deb -c "$deb" | awk '{ sub(/^\.\//, "", $6); print $6 }')
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "the package lacks /$f"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends names no $lib: $depends"
done
changelog_version=$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/changelog is at $changelog_version, the package at $version"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
usr=$tmp/root/usr

for n in "${sizes[@]}"; do
  file -b "$usr/share/icons/hicolor/${n}x${n}/apps/pelmoro.png" | grep -q "^PNG image data, $n x $n," ||
    fail "the ${n}x${n} icon is not a $n x $n PNG"
done
for page in stl2hzm pelmoro; do
  gzip -t "$usr/share/man/man1/$page.1.gz" || fail "$page.1.gz is not gzipped"
done
bash -n "$usr/share/bash-completion/completions/stl2hzm" || fail "the completion is not valid bash"
desktop-file-validate "$usr/share/applications/pelmoro.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --strict "$usr/share/metainfo/org.pelmoro.pelmoro.metainfo.xml" ||
  fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$tmp/root" || fail "appstreamcli validate-tree"
# Errors and warnings fail; the informational tags left are in the README.
lintian_report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian"
grep -v "^running with root privileges" <<<"$lintian_report" || true

# The unpacked programs run against the system's libraries.
for program in pelmoro stl2hzm; do
  if ldd "$usr/bin/$program" | grep -q "not found"; then fail "$program misses a library"; fi
done
version_text=$("$usr/bin/stl2hzm" --version) || fail "stl2hzm --version failed"
[ "$(sed -n 1p <<<"$version_text")" = "stl2hzm $version" ] ||
  fail "stl2hzm --version does not give the package's version $version: $version_text"
licence=$(sed -n '1s/ License$//p' "$root/LICENSE")
grep -qx "License: $licence" <<<"$version_text" ||
  fail "stl2hzm --version does not name the licence of LICENSE ($licence): $version_text"

model=$root/examples/relief.stl
"$usr/bin/stl2hzm" -q --pitch 0.5 -o "$tmp/installed.hzm" "$model" || fail "the installed stl2hzm failed"
[ -s "$tmp/installed.hzm" ] || fail "the installed stl2hzm wrote no height map"
if [ -x "$reference" ]; then
  "$reference" -q --pitch 0.5 -o "$tmp/reference.hzm" "$model"
  cmp "$tmp/installed.hzm" "$tmp/reference.hzm" ||
    fail "the installed stl2hzm and $reference write different height maps"
else
  echo "check-package: no $reference to compare the height map with" >&2
fi

if [ "$problems" -ne 0 ]; then
  echo "check-package: $problems problem(s)" >&2
  exit 1
fi
echo "check-package: all checks passed"

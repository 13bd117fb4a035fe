#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64 into build-windows/ and
# tests them under Wine, in a throwaway Wine prefix:
#   - the .exe needs no DLL beside it;
#   - the tests built for Windows (tests/windows/): the seam's replacements
#     and threads, the arithmetic and the scan, the window's run logic;
#   - stl2hzm.exe on every golden case, byte for byte;
#   - stl2hzm.exe against the Linux stl2hzm on the same models and options:
#     the same bytes for maps, grids, --info and messages, the same pixels and
#     text chunks for images;
#   - names in Japanese, standard input and output, batches;
#   - a run ended from outside (TerminateProcess, and the process killed)
#     and one stopped with Ctrl-C: the earlier file kept or replaced by whole
#     rows, and no temporary file left;
#   - the window, pelmoro.exe, driven on a virtual display
#     (scripts/test-windows-window.sh), its idle screenshot kept as
#     build-windows/pelmoro-idle.png;
#   - the release archive, and the installer (tests/windows/installer_checks.sh):
#     installed silently, its files, Start-menu entry, registry entries and
#     PATH option, the installed programs run, and the uninstaller leaving
#     nothing behind.
#
#   scripts/test-windows.sh [LINUX_STL2HZM]   default build/cli/stl2hzm
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-windows"
linux=${1:-"$root/build/cli/stl2hzm"}
corpus="$root/../shared/corpus"
golden="$root/tests/golden"

bash "$root/scripts/install-deps.sh" test
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPELMORO_WITH_QT=OFF -DPELMORO_BENCH=OFF -DPELMORO_TESTS=ON \
  -DPELMORO_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
exe="$build/cli/stl2hzm.exe"
if [ ! -x "$linux" ]; then
  bash "$root/scripts/build.sh" "$root/build" >/dev/null
fi

# No menu entries on the host for the Start-menu entries the installer makes.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
WINEPREFIX=$(mktemp -d)
work=$(mktemp -d)
wine=/usr/lib/wine/wine64
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

check_label=test-windows
# shellcheck source=tests/windows/checks.sh
source "$root/tests/windows/checks.sh"
# same LABEL FILE1 FILE2: the two files hold the same bytes.
same() { if cmp -s "$2" "$3"; then pass; else fail "$1: $2 and $3 differ"; fi; }
# same_image LABEL PNG1 PNG2: the same header, text chunks and pixels.
same_image() {
  if [ "$(python3 "$root/tests/windows/png_content.py" "$2")" = \
    "$(python3 "$root/tests/windows/png_content.py" "$3")" ]; then
    pass
  else
    fail "$1: images $2 and $3 differ"
  fi
}
# listing LABEL FOLDER NAMES...: the folder holds exactly these names.
listing() {
  local label=$1 folder=$2
  shift 2
  local want have
  want=$(printf '%s\n' "$@" | sort)
  have=$(cd "$folder" && ls -A | sort)
  if [ "$want" = "$have" ]; then pass; else fail "$label: $folder holds: $have"; fi
}
win() { "$wine" "$exe" "$@"; }

echo "test-windows: the programs"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
if [ "$dlls" = "KERNEL32.dll SHELL32.dll msvcrt.dll " ]; then pass; else fail "DLLs: $dlls"; fi
# The window: the system's own DLLs alone.
dlls=$(x86_64-w64-mingw32-objdump -p "$build/winapp/pelmoro.exe" | sed -n 's/^\s*DLL Name: //p' |
  sort | tr '\n' ' ')
if [ "$dlls" = "COMCTL32.dll GDI32.dll KERNEL32.dll SHELL32.dll USER32.dll comdlg32.dll msvcrt.dll " ]; then
  pass
else
  fail "pelmoro.exe's DLLs: $dlls"
fi

echo "test-windows: the tests built for Windows"
for t in os_tests arithmetic_tests control_tests; do
  if "$wine" "$build/tests/windows/$t.exe" --gtest_brief=1 >"$work/$t.log" 2>&1; then
    pass
    grep -h '^\[  PASSED  \]' "$work/$t.log" | sed "s/^/  $t: /"
  else
    fail "$t"
    cat "$work/$t.log" >&2
  fi
done

echo "test-windows: the golden cases"
while read -r name input status how arguments; do
  case "$name" in '#'* | '') continue ;; esac
  [ "$how" = run ] || continue  # a stop needs a pipe that Wine's programs block on
  dir="$work/golden-$name"
  mkdir -p "$dir"
  cp "$golden/$input" "$dir/"
  # shellcheck disable=SC2086 # the arguments are words
  got=0
  (cd "$dir" && win $arguments "$input" 2>"$dir/stderr") || got=$?
  if [ "$got" = "$status" ]; then pass; else fail "$name: exit $got, not $status"; fi
  map="$dir/${input%.stl}.hzm"
  if [ -f "$golden/$name.hzm" ]; then same "$name" "$golden/$name.hzm" "$map"; fi
  if [ -f "$golden/$name.err" ]; then same "$name stderr" "$golden/$name.err" "$dir/stderr"; fi
  for expected in "$golden/$name".*; do
    extra=${expected#"$golden/$name".}
    case "$extra" in
      hzm | err | stl) ;;
      *.png) same_image "$name $extra" "$expected" "$dir/$extra" ;;
      *) same "$name $extra" "$expected" "$dir/$extra" ;;
    esac
  done
done <"$golden/cases.txt"

echo "test-windows: the same models and options as on Linux"
# MODEL|ARGUMENTS: each run once by each build, in a folder of its own.
cases=(
  "$root/examples/relief.stl|--pitch 0.1"
  "$root/examples/relief.stl|--pitch 0.05 --surface --threads 4"
  "$root/examples/relief.stl|--pitch 0.5 --units in --threads 2"
  "$root/examples/relief.stl|--pitch 0.2 --format asc"
  "$root/examples/relief.stl|--pitch 0.1 --also also.png --also also.asc --preview preview.png"
  "$golden/binary_relief.stl|--pitch 0.1 --threads 8"
)
for model in "$corpus"/*.stl; do
  [ -f "$model" ] || continue
  # Pitches that keep each lattice small, so the stage stays short.
  lattice=$("$linux" --info --pitch 1 "$model" | sed -n 's/.*: \([0-9]*\) x \([0-9]*\) points/\1 \2/p')
  read -r across up <<<"$lattice"
  pitch=$(python3 -c "import math; print(min(6.375, max(0.025, math.ceil(max($across, $up) / 600 * 40) / 40)))")
  cases+=("$model|--pitch $pitch" "$model|--pitch $pitch --surface --threads 3")
done
n=0
for entry in "${cases[@]}"; do
  model=${entry%%|*}
  arguments=${entry#*|}
  n=$((n + 1))
  for side in linux windows; do
    mkdir -p "$work/diff-$n/$side"
    cp "$model" "$work/diff-$n/$side/model.stl"
  done
  # shellcheck disable=SC2086
  (cd "$work/diff-$n/linux" && "$linux" -q $arguments model.stl 2>stderr) || true
  # shellcheck disable=SC2086
  (cd "$work/diff-$n/windows" && win -q $arguments model.stl 2>stderr) || true
  for file in "$work/diff-$n/linux"/*; do
    leaf=$(basename "$file")
    [ "$leaf" = model.stl ] && continue
    case "$leaf" in
      *.png) same_image "$(basename "$model") $arguments $leaf" "$file" "$work/diff-$n/windows/$leaf" ;;
      *) same "$(basename "$model") $arguments $leaf" "$file" "$work/diff-$n/windows/$leaf" ;;
    esac
  done
  # shellcheck disable=SC2086
  "$linux" --info $arguments "$model" >"$work/diff-$n/info-linux" 2>&1 || true
  # shellcheck disable=SC2086
  (cd "$(dirname "$model")" && win --info $arguments "$(basename "$model")") \
    >"$work/diff-$n/info-windows" 2>&1 || true
  sed -i "s|^$(dirname "$model")/||" "$work/diff-$n/info-linux"
  same "$(basename "$model") --info $arguments" "$work/diff-$n/info-linux" "$work/diff-$n/info-windows"
done

echo "test-windows: messages, in English and in Japanese"
mkdir -p "$work/messages"
cp "$golden/relief.stl" "$work/messages/"
printf 'solid x\nfacet normal 0 0 1\nouter loop\nvertex 1 1 z\n' >"$work/messages/broken.stl"
messages=("--pitch abc relief.stl" "--pitch 9 relief.stl" "missing.stl" "-q broken.stl"
  "--units furlong relief.stl" "--threads 0 relief.stl")
for arguments in "${messages[@]}"; do
  for lang in C.UTF-8 ja_JP.UTF-8; do
    # shellcheck disable=SC2086
    (cd "$work/messages" && LC_ALL=$lang LANG=$lang "$linux" $arguments >linux.out 2>&1) || echo "exit $?" >>"$work/messages/linux.out"
    # shellcheck disable=SC2086
    (cd "$work/messages" && LC_ALL=$lang LANG=$lang win $arguments >windows.out 2>&1) || echo "exit $?" >>"$work/messages/windows.out"
    same "$lang: stl2hzm $arguments" "$work/messages/linux.out" "$work/messages/windows.out"
  done
done

echo "test-windows: names, streams and batches"
dir="$work/names"
mkdir -p "$dir/出力"
cp "$golden/relief.stl" "$dir/レリーフ.stl"
cp "$golden/binary_relief.stl" "$dir/second.stl"
(cd "$dir" && win -q --pitch 0.25 --threads 1 レリーフ.stl -o 出力/地図.hzm) || fail "Japanese names"
same "Japanese names" "$golden/relief_highest.hzm" "$dir/出力/地図.hzm"
win -q --pitch 0.25 --threads 1 - -o - <"$golden/relief.stl" >"$dir/piped.hzm" || fail "pipes"
same "standard input to standard output" "$golden/relief_highest.hzm" "$dir/piped.hzm"
(cd "$dir" && win -q --pitch 0.25 レリーフ.stl second.stl -o 出力) || fail "batch"
same "batch, first" "$golden/relief_highest.hzm" "$dir/出力/レリーフ.hzm"
same "batch, second" "$golden/binary_highest.hzm" "$dir/出力/second.hzm"
listing "batch" "$dir/出力" 地図.hzm レリーフ.hzm second.hzm

echo "test-windows: runs ended from outside, and stopped"
# A model whose map takes several seconds to write: a 4,000 x 4,000 lattice.
long="$work/long"
mkdir -p "$long"
cp "$root/examples/relief.stl" "$long/model.stl"
long_run=(-q --pitch 0.025 --units cm model.stl -o out.hzm)
# wait_for MOMENT: until the run is there (started), has begun writing its
# replacement (writing), or has written 20 MB of it (halfway).
wait_for() {
  for _ in $(seq 1 300); do
    case "$1" in
      started) pgrep -f 'stl2hzm\.exe' >/dev/null && return 0 ;;
      writing) compgen -G "$long/.out.hzm.*.tmp" >/dev/null && return 0 ;;
      halfway) [ -n "$(find "$long" -name '.out.hzm.*.tmp' -size +20M)" ] && return 0 ;;
    esac
    sleep 0.1
  done
  fail "the run never reached: $1"
}
# settled: until the ended run's handles are closed, which removes its
# replacement (bounded: the listing below then tells what was left).
settled() {
  for _ in $(seq 1 100); do
    if ! pgrep -f 'stl2hzm\.exe' >/dev/null && ! compgen -G "$long/.out.hzm.*.tmp" >/dev/null; then
      return 0
    fi
    sleep 0.1
  done
}
for moment in started writing halfway; do
  for how in terminate kill; do
    printf 'earlier work\r\n' >"$long/out.hzm"
    (cd "$long" && exec "$wine" "$exe" "${long_run[@]}") &
    runner=$!
    wait_for "$moment"
    if [ "$how" = terminate ]; then
      # Wine's loader shows the name a moment before Windows lists the
      # process: taskkill is tried until it finds it.
      killed=no
      for _ in $(seq 1 100); do
        if "$wine" taskkill /F /IM stl2hzm.exe >/dev/null 2>&1; then
          killed=yes
          break
        fi
        sleep 0.1
      done
      [ "$killed" = yes ] || fail "taskkill at $moment"
    else
      pkill -KILL -f 'stl2hzm\.exe' || fail "kill at $moment"
    fi
    wait "$runner" 2>/dev/null || true
    settled
    listing "ended by $how when $moment" "$long" model.stl out.hzm
    if [ "$(cat "$long/out.hzm")" = $'earlier work\r' ]; then
      pass
    else
      fail "ended by $how when $moment: earlier map lost"
    fi
  done
done
# Ctrl-C on a run under way; sets got to its exit status.
stop_long_run() {
  (cd "$long" && exec "$wine" "$exe" "$@" "${long_run[@]}" 2>"$work/stop.err") &
  runner=$!
  wait_for writing
  pkill -INT -f 'stl2hzm\.exe'
  got=0
  wait "$runner" || got=$?
}
# The earlier map kept, as it was.
printf 'earlier work\r\n' >"$long/out.hzm"
stop_long_run
if [ "$got" = 130 ]; then pass; else fail "Ctrl-C: exit $got, not 130"; fi
if [ "$(head -n 1 "$work/stop.err" | tr -d '\r')" = "Break !" ]; then pass; else fail "Ctrl-C: no Break !"; fi
if grep -q "^stopped at row [0-9]* of [0-9]*; out.hzm not written, the earlier one is kept" "$work/stop.err"; then
  pass
else
  fail "Ctrl-C: $(cat "$work/stop.err")"
fi
listing "stopped" "$long" model.stl out.hzm
if [ "$(cat "$long/out.hzm")" = $'earlier work\r' ]; then pass; else fail "stopped: earlier map lost"; fi
# --keep-partial: the rows so far, whole: the last line ends a row.
stop_long_run --keep-partial
if [ "$got" = 130 ]; then pass; else fail "Ctrl-C --keep-partial: exit $got, not 130"; fi
listing "stopped with --keep-partial" "$long" model.stl out.hzm
if [ "$(tail -c 3 "$long/out.hzm" | od -An -c | tr -d ' ')" = 'S\r\n' ]; then pass; else fail "stopped: not whole rows"; fi

echo "test-windows: the window"
if bash "$root/scripts/test-windows-window.sh" "$build"; then pass; else fail "the window"; fi

echo "test-windows: the release archive"
mapfile -t made < <(bash "$root/scripts/package-windows.sh" "$build" | tail -2)
zip=${made[0]}
setup=${made[1]}
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
release=$(basename "$zip" .zip)
listing "archive" "$work/unpacked/$release" pelmoro.exe stl2hzm.exe README.txt LICENSE.txt relief.stl
if grep -q $'\r$' "$work/unpacked/$release/README.txt"; then pass; else fail "README.txt not CRLF"; fi
(cd "$work/unpacked/$release" && "$wine" stl2hzm.exe -q --pitch 0.25 relief.stl) || fail "archive's program"
(cd "$work" && cp "$root/examples/relief.stl" . && "$linux" -q --pitch 0.25 relief.stl)
same "archive's program" "$work/relief.hzm" "$work/unpacked/$release/relief.hzm"

# shellcheck source=tests/windows/installer_checks.sh
source "$root/tests/windows/installer_checks.sh"
check_installer "$setup" "$build/$release"

echo "test-windows: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]

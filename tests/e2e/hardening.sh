#!/usr/bin/env bash
# End-to-end runs of stl2hzm that end badly or nearly so: killed, short of
# memory, short of disk, short of threads, stopped. Each case asserts that no
# temporary file is left and that an earlier height map of the same name
# survives (or, for a stop, that the map ends with a complete row; with
# threads refused, that the map is the one an unconstrained run writes).
# Usage: hardening.sh PATH/TO/stl2hzm
set -uo pipefail

stl2hzm=${1:?usage: hardening.sh STL2HZM}
work=$(mktemp -d "${TMPDIR:-/tmp}/pelmoro-e2e.XXXXXX")
mounted=""
child=""
failures=0

cleanup() {
  [ "$BASHPID" = "$$" ] || return 0  # only the script itself, never a subshell
  [ -n "$child" ] && kill -KILL "$child" 2>/dev/null && wait "$child" 2>/dev/null
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Whether stl2hzm carries AddressSanitizer, which reserves more address space
# than any limit here leaves. (grep reads all of ldd's output: with
# pipefail, a grep -q that stops early could fail the pipe by SIGPIPE.)
built_with_asan() { [ -n "$(ldd "$stl2hzm" 2>/dev/null | grep libasan)" ]; }
note() { echo "NOTE: $*" >&2; }

# The folder holds exactly these names (sorted), nothing else.
expect_listing() {
  local folder=$1; shift
  local have want
  have=$(cd "$folder" && ls -A | sort | tr '\n' ' ')
  want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  [ "$have" = "$want" ] || fail "$folder holds '$have', expected '$want'"
}

expect_content() {  # file, expected text
  [ "$(cat "$1")" = "$2" ] || fail "$1 changed: $(head -c 80 "$1")"
}

# Waits until process $1 holds a non-empty regular file in folder $2 open for
# writing (its output, unnamed or not), other than the earlier target $3,
# which the run opens for writing for a moment to check that it may replace
# it. Polls an observable state; the limit only guards against a hang.
wait_for_output_bytes() {
  local pid=$1 folder=$2 earlier_target=$3 fd target flags
  for _ in $(seq 3000); do
    for fd in /proc/"$pid"/fd/*; do
      target=$(readlink "$fd" 2>/dev/null) || continue
      [[ $target == "$folder"/* ]] || continue
      [ -f "$fd" ] && [ -s "$fd" ] || continue
      [ "$fd" -ef "$earlier_target" ] && continue
      flags=$(awk '/^flags:/ {print $2}' "/proc/$pid/fdinfo/${fd##*/}" 2>/dev/null)
      [ -n "$flags" ] && (( 8#$flags & 3 )) && return 0
    done
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}

# Waits for child $1 to end (a zombie until waited for), killing it after
# $2 seconds as a hang guard; sets status to its exit status.
wait_guarded() {
  local pid=$1 limit=$2 state
  for _ in $(seq $((limit * 20))); do
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || break
    [ "$state" = Z ] && break
    sleep 0.05
  done
  if [ "$state" != Z ] && kill -0 "$pid" 2>/dev/null; then
    fail "process $pid still runs after $limit s; killed"
    kill -KILL "$pid"
  fi
  wait "$pid"; status=$?
  child=""
}

# Layers of two triangles each over 50 x 50 mm: at 0.025 mm every point lies
# under every triangle, so each row is slow.
stacked_layers() {
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) { z = 1 + k % 97 "." k % 10;
    printf "vertex 0 0 %s\nvertex 50 0 %s\nvertex 0 50 %s\n", z, z, z;
    printf "vertex 50 0 %s\nvertex 50 50 %s\nvertex 0 50 %s\n", z, z, z } }'
}

earlier="an earlier height map"

case_sigkill() {
  local d=$work/kill; mkdir "$d"
  stacked_layers 400 > "$d/big.stl"; echo "$earlier" > "$d/big.hzm"
  "$stl2hzm" -q --pitch 0.025 "$d/big.stl" 2>/dev/null & child=$!
  wait_for_output_bytes "$child" "$d" "$d/big.hzm" || fail "sigkill: no output under way"
  kill -KILL "$child"; wait_guarded "$child" 30 2>/dev/null
  [ "$status" -eq 137 ] || fail "sigkill: status $status"
  expect_content "$d/big.hzm" "$earlier"
  expect_listing "$d" big.hzm big.stl
}

case_memory() {
  if built_with_asan; then
    note "memory: skipped, AddressSanitizer needs more address space than any limit leaves"
    return
  fi
  local d=$work/memory; mkdir "$d"
  # A sparse ASCII input of 4 GB: the store it asks for exceeds the limit at
  # once, before any line is read.
  printf 'solid big\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n' > "$d/huge.stl"
  truncate -s 4G "$d/huge.stl"; echo "$earlier" > "$d/huge.hzm"
  local err
  err=$( (ulimit -v 400000; "$stl2hzm" -q "$d/huge.stl") 2>&1 ); status=$?
  [ "$status" -eq 1 ] || fail "memory: status $status ($err)"
  [ "$err" = "$d/huge.stl: not enough memory for this model." ] || fail "memory: message '$err'"
  expect_content "$d/huge.hzm" "$earlier"
  expect_listing "$d" huge.hzm huge.stl
  # Rows too wide for the limit, scanned on worker threads.
  printf 'vertex 0 0 1\nvertex 60000 0 1\nvertex 0 2 1\n' > "$d/wide.stl"
  echo "$earlier" > "$d/wide.hzm"
  err=$( (ulimit -v 200000; "$stl2hzm" -q --threads 2 --pitch 0.025 "$d/wide.stl") 2>&1 )
  status=$?
  # A complete map, or the clean refusal; never an abort.
  case $status in
    0) [ -z "$err" ] || fail "memory: wide rows complete, yet said '$err'" ;;
    1) [ "$err" = "$d/wide.stl: not enough memory for this model." ] ||
         fail "memory: wide rows message '$err'"
       expect_content "$d/wide.hzm" "$earlier" ;;
    *) fail "memory: wide rows gave status $status ($err)" ;;
  esac
  expect_listing "$d" huge.hzm huge.stl wide.hzm wide.stl
}

# Facets of about 0.1 mm side over 100 x 100 mm, one ASCII solid of $1
# facets: megabytes to read, little to scan at 1 mm.
small_facets() {
  awk -v n="$1" 'BEGIN { print "solid many"
    for (k = 0; k < n; k++) { x = (k * 7919) % 1000 / 10; y = (k * 104729) % 997 / 10;
      z = 1 + k % 50 / 10
      printf " facet normal 0 0 1\n  outer loop\n"
      printf "   vertex %.2f %.2f %.1f\n   vertex %.2f %.2f %.1f\n   vertex %.2f %.2f %.1f\n",
        x, y, z, x + 0.1, y, z, x, y + 0.1, z
      printf "  endloop\n endfacet\n" }
    print "endsolid many" }'
}

# Exit status of stl2hzm run with the arguments under an address-space
# limit of $1 KiB and thread stacks of 8 MiB; the output is discarded.
run_limited() {
  local limit=$1; shift
  (ulimit -s 8192; ulimit -v "$limit"; "$stl2hzm" -q "$@") >/dev/null 2>&1
}

case_threads_refused() {
  if built_with_asan; then
    note "threads refused: skipped, AddressSanitizer needs more address space than any limit leaves"
    return
  fi
  local d=$work/threads; mkdir "$d"
  small_facets 40000 > "$d/many.stl"  # about 4 MiB: read in chunks on workers
  "$stl2hzm" -q --threads 64 --pitch 1 -o "$d/free.hzm" "$d/many.stl" ||
    { fail "threads refused: the unconstrained run failed"; return; }
  # The least address space a run on one thread needs, to 4 MiB.
  local need=0 limit
  for limit in $(seq 8192 4096 1048576); do
    if run_limited "$limit" --threads 1 --pitch 1 -o "$d/one.hzm" "$d/many.stl"; then
      need=$limit; break
    fi
  done
  rm -f "$d/one.hzm"
  [ "$need" -gt 0 ] || { fail "threads refused: no limit up to 1 GiB let one thread run"; return; }
  # 48 MiB more: the read-ahead chunks and a few thread stacks, far from the
  # 512 MiB that 64 stacks of 8 MiB take; most threads are refused.
  echo "$earlier" > "$d/many.hzm"
  local err
  err=$( (ulimit -s 8192; ulimit -v $((need + 49152));
          "$stl2hzm" -q --threads 64 --pitch 1 "$d/many.stl") 2>&1 ); status=$?
  [ "$status" -eq 0 ] || fail "threads refused: status $status ($err) under $((need + 49152)) KiB"
  cmp -s "$d/many.hzm" "$d/free.hzm" || fail "threads refused: the map differs from the unconstrained run's"
  expect_listing "$d" free.hzm many.hzm many.stl
}

case_full_disk() {
  if [ "$(id -u)" -ne 0 ]; then note "full disk: skipped, mounting a tmpfs needs root"; return; fi
  local d=$work/disk; mkdir "$d"
  if ! mount -t tmpfs -o size=256k tmpfs "$d" 2>/dev/null; then
    note "full disk: skipped, no tmpfs could be mounted"; return
  fi
  mounted=$d
  # 801 x 801 points: megabytes even at one digit a height.
  printf 'vertex 0 0 0\nvertex 20 0 0\nvertex 0 20 0\n' > "$work/fine.stl"
  echo "$earlier" > "$d/fine.hzm"
  local err
  err=$("$stl2hzm" -q --pitch 0.025 -o "$d/fine.hzm" "$work/fine.stl" 2>&1); status=$?
  [ "$status" -eq 1 ] || fail "full disk: status $status"
  [[ $err == "$d/fine.hzm: the height map needs at least "*" bytes, only "*" are free on the disk of $d/fine.hzm." ]] ||
    fail "full disk: message '$err'"
  # Heights of six digits: the bound fits, the map does not.
  printf 'vertex 0 0 20000\nvertex 4 0 20000\nvertex 0 4 20000\n' > "$work/tall.stl"
  echo "$earlier" > "$d/tall.hzm"
  err=$("$stl2hzm" -q --pitch 0.025 -o "$d/tall.hzm" "$work/tall.stl" 2>&1); status=$?
  [ "$status" -eq 1 ] || fail "disk full: status $status"
  [[ $err == *"$d/tall.hzm"* ]] || fail "disk full: message '$err'"
  [[ $err == *"needs at least"* ]] && note "disk full: the size check caught the tall map too"
  expect_content "$d/fine.hzm" "$earlier"
  expect_content "$d/tall.hzm" "$earlier"
  expect_listing "$d" fine.hzm tall.hzm
  umount "$d" && mounted=""
}

# A stop of big.hzm's run under way, with the arguments given; sets status.
stop_run() {
  local d=$1; shift
  # A background job starts with SIGINT ignored, which stl2hzm respects.
  # All threads: rows in flight on the workers must not hold the stop up.
  env --default-signal=INT "$stl2hzm" "$@" --pitch 0.025 "$d/big.stl" \
    2> "$work/stop.err" & child=$!
  wait_for_output_bytes "$child" "$d" "$d/big.hzm" || fail "stop: no output under way"
  kill -INT "$child"; wait_guarded "$child" 20
}

case_stop() {
  local d=$work/stop; mkdir "$d"
  stacked_layers 400 > "$d/big.stl"; echo "$earlier" > "$d/big.hzm"
  # The earlier map stays exactly as it was, and the message says so.
  stop_run "$d"
  [ "$status" -eq 130 ] || fail "stop: status $status"
  [ "$(head -n 1 "$work/stop.err")" = "Break !" ] || fail "stop: $(cat "$work/stop.err")"
  [[ $(tail -n 1 "$work/stop.err") =~ ^stopped\ at\ row\ [0-9]+\ of\ 2001\;\ $d/big.hzm\ not\ written,\ the\ earlier\ one\ is\ kept$ ]] ||
    fail "stop: $(cat "$work/stop.err")"
  expect_content "$d/big.hzm" "$earlier"
  expect_listing "$d" big.hzm big.stl
  # --keep-partial: the whole rows so far in its place, 2001 points a row,
  # each row closed by "S".
  stop_run "$d" --keep-partial
  [ "$status" -eq 130 ] || fail "stop: status $status with --keep-partial"
  expect_listing "$d" big.hzm big.stl
  local lines rows
  lines=$(tail -n +8 "$d/big.hzm" | wc -l)
  rows=$(tail -n +8 "$d/big.hzm" | grep -c '^S')
  [ "$rows" -ge 1 ] && [ "$lines" -eq $((rows * 2002)) ] || fail "stop: $lines lines, $rows rows"
  [ "$(tail -c 3 "$d/big.hzm" | od -An -c | tr -d ' ')" = 'S\r\n' ] || fail "stop: torn last row"
}

case_sigkill
case_memory
case_full_disk
case_threads_refused
case_stop
[ "$failures" -eq 0 ] && echo "hardening: all cases passed"
exit $((failures > 0))

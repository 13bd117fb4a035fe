#!/usr/bin/env bash
# Writes RESULTS.md (to stdout) from the raw measurements that bench/run.sh
# left in $RAW. Expects ROOT, BUILD, RAW, CORES, LOAD_BEFORE, LOAD_AFTER.
set -euo pipefail

value() { sed -n "s/^$1=//p" "$2" | tail -1; }
# calc EXPR [printf format]: arithmetic in awk on the given expression
calc() { awk "BEGIN { printf \"${2:-%.3f}\", $1 }"; }
thousands() { printf "%'d" "$1" 2>/dev/null || echo "$1"; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"**not met**\" }"; }

machine() {
  local compiler
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
  echo "## Machine"
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "- CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $CORES cores (nproc)"
  echo "- Memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
  echo "- Compiler: $("${compiler:-c++}" --version | head -1), Release (-O3)"
  echo "- Kernel: $(uname -sr)"
  echo "- Commit: $(git -C "$ROOT" rev-parse --short HEAD)$(git -C "$ROOT" diff --quiet HEAD -- engine foundation outputs run cli || echo ' with uncommitted changes')"
  echo "- Load average (1, 5, 15 min) before: $LOAD_BEFORE; after: $LOAD_AFTER." \
    "The machine is shared: timings are best of several runs, and other work inflates them."
  echo
}

# One model's table: a column per pitch.
model_table() {
  local model=$1 a=$RAW/$1-0.1.txt b=$RAW/$1-0.025.txt row
  echo "## $model.stl: $(thousands "$(value triangles "$a")") triangles, $(calc "$(value file_mb "$a")" %.1f) MB"
  echo
  echo "| | 0.1 mm | 0.025 mm |"
  echo "|---|---|---|"
  for row in lattice output reader e2e1 e2en yardstick scan write ratio plain speedup rss check; do
    echo "| $(row_name "$row") | $(cell "$row" "$a") | $(cell "$row" "$b") |"
  done
  local s=$RAW/$model-0.1-surface.txt
  echo
  echo "Surface on, 0.1 mm: scan + write $(cell scan "$s") (write-only $(cell write "$s"), $(cell ratio "$s")); $(cell check "$s")."
  echo
}

row_name() {
  case $1 in
    lattice) echo "lattice (points per row x rows)" ;;
    output) echo "height-map file" ;;
    reader) echo "reader (in process), 1 / $CORES threads" ;;
    e2e1) echo "stl2hzm end to end, 1 thread" ;;
    e2en) echo "stl2hzm end to end, $CORES threads" ;;
    yardstick) echo "yardstick (plain exact converter) end to end" ;;
    scan) echo "scan + write in process, 1 / $CORES threads" ;;
    write) echo "write-only, same lattice" ;;
    ratio) echo "scan + write / write-only (1 thread)" ;;
    plain) echo "plain scan (scan + write)" ;;
    speedup) echo "speed-up: plain end to end / stl2hzm 1 thread" ;;
    rss) echo "peak memory (stl2hzm, 1 / $CORES threads)" ;;
    check) echo "output check" ;;
  esac
}

cell() {
  local f=$2
  case $1 in
    lattice) echo "$(value columns "$f") x $(value rows "$f")" ;;
    output) echo "$(calc "$(value output_mb "$f")" %.1f) MB" ;;
    reader) echo "$(calc "$(value read_mb_s "$f")" %.0f) / $(calc "$(value read_nt_mb_s "$f")" %.0f) MB/s ($(calc "$(value read_s "$f")") / $(calc "$(value read_nt_s "$f")") s)" ;;
    e2e1) echo "$(calc "$(value e2e_1_s "$f")") s" ;;
    e2en) echo "$(calc "$(value "e2e_${CORES}_s" "$f")") s" ;;
    yardstick) echo "$(calc "$(value baseline_s "$f")") s (same map: $(value baseline_same "$f"))" ;;
    scan) echo "$(calc "$(value scan_1t_s "$f")") / $(calc "$(value scan_nt_s "$f")") s" ;;
    write) echo "$(calc "$(value write_only_s "$f")") s" ;;
    ratio) echo "$(calc "$(value scan_vs_write_only "$f")" %.1f) x" ;;
    plain) plain_cell "$f" ;;
    speedup) echo "$(calc "($(value read_s "$f") + $(value plain_s "$f")) / $(value e2e_1_s "$f")" %.0f) x" ;;
    rss) rss_cell "$f" ;;
    check) check_cell "$f" ;;
  esac
}

plain_cell() {
  local f=$1 s
  s=$(calc "$(value plain_s "$1")" %.1f)
  if [[ $(value plain_extrapolated "$f") == yes ]]; then
    echo "$s s, extrapolated from $(value plain_rows_sampled "$f") rows ($(calc "$(value plain_row_s "$f")") s a row)"
  else
    echo "$s s, measured whole"
  fi
}

rss_cell() {
  local f=$1 one many tri
  one=$(value e2e_1_rss_kib "$f")
  many=$(value "e2e_${CORES}_rss_kib" "$f")
  tri=$(value triangles "$f")
  echo "$(calc "$one / 1024" %.1f) / $(calc "$many / 1024" %.1f) MiB ($(calc "$many * 1024 / $tri" %.0f) bytes / triangles)"
}

check_cell() {
  local f=$1 text
  text="$(value verified_rows "$f") sampled rows = plain scan"
  [[ -n $(value plain_full_file "$f") ]] && text+="; whole file vs plain scan: $(value plain_full_file "$f")"
  text+="; 1 vs $CORES threads identical: $(value threads_identical "$f")"
  echo "$text"
}

# A line of the yardstick targets: stl2hzm end to end with 1 thread at most
# 1.0 x the yardstick, with all threads at most 0.6 x.
yardstick_targets() {  # model pitch
  local f=$RAW/$1-$2.txt one many base
  one=$(value e2e_1_s "$f"); many=$(value "e2e_${CORES}_s" "$f"); base=$(value baseline_s "$f")
  echo "| $1, $2 mm: 1 thread at most 1.0 x the yardstick ($(calc "$base") s) | $(calc "$one / $base" %.2f) x | $(verdict "$one <= $base") |"
  echo "| $1, $2 mm: $CORES threads at most 0.6 x the yardstick | $(calc "$many / $base" %.2f) x | $(verdict "$many <= 0.6 * $base") |"
}

targets() {
  local f=$RAW/relief-0.1.txt gaps=$RAW/gaps.txt s=$RAW/relief-0.1-surface.txt
  local e2e read plain ratio speed rss tri limit gap surface
  e2e=$(value e2e_1_s "$f"); read=$(value read_s "$f"); plain=$(value plain_s "$f")
  ratio=$(value scan_vs_write_only "$f"); speed=$(value read_mb_s "$f")
  surface=$(value scan_vs_write_only "$s")
  rss=$(value e2e_1_rss_kib "$f"); tri=$(value triangles "$f")
  rss=$(calc "($rss > $(value "e2e_${CORES}_rss_kib" "$f")) ? $rss : $(value "e2e_${CORES}_rss_kib" "$f")" %d)
  limit=$(calc "(80 * $tri + 64 * 1048576) / 1048576" %.1f)
  gap=$(value window_longest_gap_ms "$gaps"); gap=${gap:-$(value engine_longest_gap_ms "$gaps")}
  echo "## Targets (relief, 0.1 mm, one thread, unless stated)"
  echo
  echo "| target | measured | |"
  echo "|---|---|---|"
  echo "| reader at least 1 GB/s on one thread | $(calc "$speed" %.0f) MB/s | $(verdict "$speed >= 1000") |"
  yardstick_targets relief 0.1
  yardstick_targets sphere 0.1
  yardstick_targets relief 0.025
  yardstick_targets sphere 0.025
  echo "| Surface mode: scan + write at most 2.5 x write-only | $(calc "$surface" %.1f) x | $(verdict "$surface <= 2.5") |"
  echo "| scan + write at most 3 x write-only | $(calc "$ratio" %.1f) x | $(verdict "$ratio <= 3") |"
  echo "| end to end at least 1,000 x faster than the plain scan | $(calc "($read + $plain) / $e2e" %.0f) x | $(verdict "($read + $plain) / $e2e >= 1000") |"
  echo "| peak memory (1 or $CORES threads) at most 80 bytes a triangle + 64 MB ($limit MiB) | $(calc "$rss / 1024" %.1f) MiB | $(verdict "$rss / 1024 <= $limit") |"
  echo "| longest gap between message passes under 100 ms (relief, 0.025 mm, $CORES threads, reading included) | $(calc "$gap" %.1f) ms | $(verdict "$gap < 100") |"
  if [[ -f $RAW/setup.txt ]]; then
    local setup
    setup=$(value setup_cli_s "$RAW/setup.txt")
    echo "| \`scripts/run.sh --cli\` from an empty build folder within 3 minutes (packages present; $(value setup_compile_steps "$RAW/setup.txt") compile steps; load $(value setup_load "$RAW/setup.txt")) | $(calc "$setup" %.0f) s | $(verdict "$setup <= 180") |"
  fi
  echo
}

gaps_section() {
  local f=$RAW/gaps.txt
  echo "## Window responsiveness (relief, 0.025 mm, $(value threads "$f") threads)"
  echo
  echo "- Engine: longest time between two message passes (ProcessMessages, or WhileWaiting while the run waits), from the start of the run to its" \
    "return: $(calc "$(value engine_longest_gap_ms "$f")" %.1f) ms, ending in $(value engine_longest_gap_stage "$f")" \
    "(pass $(value engine_longest_gap_at_pass "$f") of $(value engine_passes "$f"); run $(calc "$(value engine_run_s "$f")" %.2f) s);" \
    "before the closing of the output: $(calc "$(value engine_longest_gap_before_closing_ms "$f")" %.1f) ms."
  if [[ -n $(value window_longest_gap_ms "$f") ]]; then
    echo "- Window (a shown Form1, offscreen, its own ProcessMessages): longest time between two passes" \
      "of its event loop $(calc "$(value window_longest_gap_ms "$f")" %.1f) ms, ending in $(value window_longest_gap_stage "$f")," \
      "over $(value window_passes "$f") passes; before the closing of the output:" \
      "$(calc "$(value window_longest_gap_before_closing_ms "$f")" %.1f) ms." \
      "Engine-side gap in that run: $(calc "$(value window_engine_longest_gap_ms "$f")" %.1f) ms."
  else
    echo "- Window: not measured (no Qt build); the engine figure bounds the window's gaps from below."
  fi
  echo
}

stops_section() {
  [[ -f $RAW/stop-latency.md ]] || return 0
  echo "## Stops inside a slow row (bench/stop_latency.sh)"
  echo
  echo "Seconds from the signal to the end of stl2hzm, worst of 3, on the model of" \
    "tools/make_wide_rows.py at 0.025 mm (a row of 200,001 points under 600 triangles)."
  echo
  cat "$RAW/stop-latency.md"
  echo
}

devices_section() {
  [[ -f $RAW/devices.md ]] || return 0
  echo "## Devices and pipes against a file (bench/devices.sh)"
  echo
  echo "stl2hzm on the relief at 0.1 mm, best wall time of 5 fresh processes."
  echo
  cat "$RAW/devices.md"
  echo
}

bottom_section() {
  [[ -f $RAW/bottom.md ]] || return 0
  echo "## From below against from above (bench/devices.sh)"
  echo
  echo "stl2hzm on the relief at 0.1 mm to a file, with and without --bottom, in 7 paired" \
    "fresh processes (each pair in turn bottom-first or top-first)."
  cat "$RAW/bottom.md"
  echo
}

micro_section() {
  echo "## Micro benchmarks (Google Benchmark)"
  echo
  echo '```text'
  sed -n '/^Benchmark/,$p' "$RAW/micro.txt" | grep -v '^-*$'
  echo '```'
  echo
}

echo "# Benchmark results"
echo
echo "Written by \`bench/run.sh\`. What each figure means is explained in bench/README.md."
echo
machine
targets
for m in relief sphere torus; do model_table "$m"; done
gaps_section
stops_section
devices_section
bottom_section
micro_section

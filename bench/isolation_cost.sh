#!/usr/bin/env bash
# What running the plug-in in a worker process costs (not part of the tests or CI): the same
# render by build/ffglhost, once isolated (the default) and once with --in-process, alternately,
# ROUNDS times. Prints each run's wall time, CPU time (user + system of ffglhost and its worker)
# and median frame time, then the ratios isolated / in-process of the summed wall and CPU times
# and of the median frame times, and what starting one worker costs: the median difference of
# the wall times of a one-frame render (16x16), isolated and in-process, over as many rounds.
#
#   bench/isolation_cost.sh [--windows] [--size WxH] [--frames N] [--rounds R] [PLUGIN]
#                         (default 1280x720, 300 frames, 3 rounds, Quorus)
#
# --windows times build-win64/ffglhost.exe and its DLL (build-win64/plugins/Quorus.dll by
# default) under Wine, in a virtual X display and the Windows tests' Wine prefix. No CPU time is
# given there: the shell sees the host's own Wine process alone, not the worker it starts.
#
# Timings follow the machine's load; the alternation keeps both modes under the same load. One
# untimed run of each mode comes first (Wine starts its server, caches fill).
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: bench/isolation_cost.sh [--windows] [--size WxH] [--frames N] [--rounds R] [PLUGIN]"
size=1280x720
frames=300
rounds=3
windows=0
plugin=
args=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --windows) windows=1 ;;
    --size) size=$2; shift ;;
    --frames) frames=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    -*) echo "$usage" >&2; exit 2 ;;
    *) plugin=$1 ;;
  esac
  shift
done
if [ "$windows" -eq 1 ]; then
  host=(wine build-win64/ffglhost.exe)
  plugin=${plugin:-build-win64/plugins/Quorus.dll}
  [ -f build-win64/ffglhost.exe ] || { echo "isolation_cost.sh: build-win64/ffglhost.exe is missing: run scripts/build-windows.sh" >&2; exit 2; }
  if [ -z "${KX_ISOLATION_COST_DISPLAY:-}" ]; then
    # Once more inside a virtual display, with Wine's server stopped at the end.
    export WINEPREFIX="$PWD/build-win64/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    trap 'wineserver -k 2>/dev/null || true' EXIT
    KX_ISOLATION_COST_DISPLAY=1 xvfb-run -a -s "-screen 0 640x480x24" bash "$0" "${args[@]}"
    exit
  fi
else
  host=(./build/ffglhost)
  plugin=${plugin:-build/plugins/Quorus.so}
  [ -x build/ffglhost ] || { echo "isolation_cost.sh: build/ffglhost is missing: run scripts/setup.sh" >&2; exit 2; }
fi
[ -f "$plugin" ] || { echo "isolation_cost.sh: $plugin does not exist" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# One run of SIZE FRAMES [OPTION...]: prints "wall cpu median" in seconds, seconds and milliseconds.
run() {
  local TIMEFORMAT="%R %U %S" size=$1 frames=$2
  shift 2
  { time "${host[@]}" render "$plugin" --size "$size" --frames "$frames" --out "$out/frame.png" "$@" \
      >"$out/log" 2>&1; } 2>"$out/time" || { cat "$out/log" >&2; exit 1; }
  local median
  median=$(tr -d '\r' <"$out/log" | sed -n 's/.*: median \([0-9.]*\) ms.*/\1/p')
  awk -v m="$median" '{ printf "%.2f %.2f %s\n", $1, $2 + $3, m }' "$out/time"
}

run 16x16 1 >/dev/null
run 16x16 1 --in-process >/dev/null
printf "%-11s %5s %9s %9s %11s\n" mode round "wall s" "CPU s" "median ms"
results=$out/results
: >"$results"
for round in $(seq 1 "$rounds"); do
  for mode in isolated in-process; do
    if [ "$mode" = isolated ]; then r=$(run "$size" "$frames"); else r=$(run "$size" "$frames" --in-process); fi
    echo "$mode $r" >>"$results"
    read -r wall cpu median <<<"$r"
    [ "$windows" -eq 0 ] || cpu=-
    printf "%-11s %5s %9s %9s %11s\n" "$mode" "$round" "$wall" "$cpu" "$median"
  done
done
# Median of the numbers on standard input.
median() { sort -g | awk '{ a[NR] = $1 } END { print NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
column() { awk -v mode="$1" -v field="$2" '$1 == mode { print $field }' "$results"; }
sum() { awk '{ s += $1 } END { print s }'; }
awk -v wi="$(column isolated 2 | sum)" -v wp="$(column in-process 2 | sum)" \
    -v ci="$(column isolated 3 | sum)" -v cp="$(column in-process 3 | sum)" \
    -v mi="$(column isolated 4 | median)" -v mp="$(column in-process 4 | median)" -v windows="$windows" 'BEGIN {
  cpu = windows ? "" : sprintf(", CPU %.3f (%.1f s / %.1f s)", ci / cp, ci, cp)
  printf "isolated / in-process: wall %.3f (%.1f s / %.1f s)%s, median frame %.3f (%.2f ms / %.2f ms)\n",
    wi / wp, wi, wp, cpu, mi / mp, mi, mp
}'
# The start of one worker: the wall time a one-frame render gains by it.
starts=$out/starts
: >"$starts"
for round in $(seq 1 "$rounds"); do
  isolated=$(run 16x16 1 | cut -d' ' -f1)
  inprocess=$(run 16x16 1 --in-process | cut -d' ' -f1)
  awk -v i="$isolated" -v p="$inprocess" 'BEGIN { printf "%.3f %.2f %.2f\n", i - p, i, p }' >>"$starts"
done
awk -v d="$(cut -d' ' -f1 "$starts" | median)" -v i="$(cut -d' ' -f2 "$starts" | median)" \
    -v p="$(cut -d' ' -f3 "$starts" | median)" 'BEGIN {
  printf "start-up per worker: %.2f s (one-frame render: %.2f s isolated, %.2f s in-process, medians)\n", d, i, p
}'

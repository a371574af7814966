#!/usr/bin/env bash
# What running the plug-in in a worker process costs (not part of the tests or CI): the same
# render by build/ffglhost, once isolated (the default) and once with --in-process, alternately,
# ROUNDS times. Prints each run's wall time, CPU time (user + system of ffglhost and its worker)
# and median frame time, then the ratios isolated / in-process of the summed wall and CPU times
# and of the median frame times.
#
#   bench/isolation_cost.sh [--size WxH] [--frames N] [--rounds R] [PLUGIN.so]
#                                         (default 1280x720, 300 frames, 3 rounds, Quorus)
#
# Timings follow the machine's load; the alternation keeps both modes under the same load.
set -euo pipefail
cd "$(dirname "$0")/.."

size=1280x720
frames=300
rounds=3
plugin=build/plugins/Quorus.so
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift ;;
    --frames) frames=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    -*) echo "usage: bench/isolation_cost.sh [--size WxH] [--frames N] [--rounds R] [PLUGIN.so]" >&2; exit 2 ;;
    *) plugin=$1 ;;
  esac
  shift
done
[ -x build/ffglhost ] || { echo "isolation_cost.sh: build/ffglhost is missing: run scripts/setup.sh" >&2; exit 2; }
[ -f "$plugin" ] || { echo "isolation_cost.sh: $plugin does not exist" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# One run: prints "wall cpu median" in seconds, seconds and milliseconds.
run() {
  local TIMEFORMAT="%R %U %S"
  { time ./build/ffglhost render "$plugin" --size "$size" --frames "$frames" --out "$out/frame.png" "$@" \
      >"$out/log" 2>&1; } 2>"$out/time" || { cat "$out/log" >&2; exit 1; }
  local median
  median=$(sed -n 's/.*: median \([0-9.]*\) ms.*/\1/p' "$out/log")
  awk -v m="$median" '{ printf "%.2f %.2f %s\n", $1, $2 + $3, m }' "$out/time"
}

printf "%-11s %5s %9s %9s %11s\n" mode round "wall s" "CPU s" "median ms"
results=$out/results
: >"$results"
for round in $(seq 1 "$rounds"); do
  for mode in isolated in-process; do
    if [ "$mode" = isolated ]; then r=$(run); else r=$(run --in-process); fi
    echo "$mode $r" >>"$results"
    read -r wall cpu median <<<"$r"
    printf "%-11s %5s %9s %9s %11s\n" "$mode" "$round" "$wall" "$cpu" "$median"
  done
done
# Median of the numbers on standard input.
median() { sort -g | awk '{ a[NR] = $1 } END { print NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
column() { awk -v mode="$1" -v field="$2" '$1 == mode { print $field }' "$results"; }
sum() { awk '{ s += $1 } END { print s }'; }
awk -v wi="$(column isolated 2 | sum)" -v wp="$(column in-process 2 | sum)" \
    -v ci="$(column isolated 3 | sum)" -v cp="$(column in-process 3 | sum)" \
    -v mi="$(column isolated 4 | median)" -v mp="$(column in-process 4 | median)" 'BEGIN {
  printf "isolated / in-process: wall %.3f (%.1f s / %.1f s), CPU %.3f (%.1f s / %.1f s), median frame %.3f (%.2f ms / %.2f ms)\n",
    wi / wp, wi, wp, ci / cp, ci, cp, mi / mp, mi, mp
}'

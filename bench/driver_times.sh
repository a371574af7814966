#!/usr/bin/env bash
# Frame time of Quorus under each of Mesa's drivers, in one run: ffglhost renders the defaults and
# the heaviest setting at 1280x720 with --driver llvmpipe, softpipe and zink, and the table gives
# each median frame time (process call plus glFinish, as ffglhost reports it) and its ratio to
# llvmpipe's for the same setting. Not part of the tests.
#
#   bash bench/driver_times.sh [--frames N] [--size WxH] [--build DIR] [--plugin PATH]
#
# Defaults: 10 frames, 1280x720, build/ (the 64-bit release build; --build build-i386 times the
# 32-bit one), its plugins/Quorus.so. The heaviest setting takes seconds a frame at this size
# (llvmpipe about 5, softpipe 9, zink 45 on a loaded 2-core machine): a whole run takes minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

frames=10
size=1280x720
build=build
plugin=""
while [ $# -gt 0 ]; do
  case "$1" in
    --frames) frames="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --plugin) plugin="$2"; shift 2 ;;
    *) echo "driver_times.sh: unknown option '$1'" >&2; exit 2 ;;
  esac
done
[ -n "$plugin" ] || plugin="$build/plugins/Quorus.so"
host="$build/ffglhost"
for f in "$host" "$plugin"; do
  [ -e "$f" ] || { echo "driver_times.sh: $f is missing (build first: bash scripts/setup.sh)" >&2; exit 2; }
done

drivers=(llvmpipe softpipe zink)
settings=(defaults heaviest)
heaviest=(--set "Particles=1" --set "Quorify=1" --set "Line Width=1" --set "Triangle Opacity=1")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

declare -A median renderer
total=$(( ${#drivers[@]} * ${#settings[@]} ))
n=0
for s in "${settings[@]}"; do
  for d in "${drivers[@]}"; do
    n=$((n + 1))
    printf '[%d/%d] %s, %s, %s frames at %s ...\n' "$n" "$total" "$d" "$s" "$frames" "$size" >&2
    args=(render "$plugin" --size "$size" --frames "$frames" --out "$out/$d-$s.png" --driver "$d")
    [ "$s" = defaults ] || args+=("${heaviest[@]}")
    if ! "$host" "${args[@]}" >"$out/$d-$s.txt" 2>"$out/$d-$s.err"; then
      echo "driver_times.sh: $d, $s failed:" >&2
      tail -n 3 "$out/$d-$s.err" >&2
      median[$d-$s]=""
      continue
    fi
    median[$d-$s]=$(sed -n 's/^frame time .*: median \([0-9.]*\) ms.*/\1/p' "$out/$d-$s.txt")
    renderer[$d]=$(sed -n 's/^GL renderer: //p' "$out/$d-$s.txt")
  done
done

printf '\nQuorus, %s, %s frames, median frame time (ms) and ratio to llvmpipe\n' "$size" "$frames"
printf '%-10s %-16s %-16s %s\n' driver defaults heaviest renderer
for d in "${drivers[@]}"; do
  row=$(printf '%-10s' "$d")
  for s in "${settings[@]}"; do
    m=${median[$d-$s]}
    base=${median[llvmpipe-$s]}
    if [ -z "$m" ]; then
      cell="failed"
    elif [ -z "$base" ]; then
      cell="$m"
    else
      cell=$(awk -v m="$m" -v b="$base" 'BEGIN { printf "%.1f (x%.2f)", m, m / b }')
    fi
    row+=$(printf ' %-16s' "$cell")
  done
  echo "$row ${renderer[$d]:-}"
done

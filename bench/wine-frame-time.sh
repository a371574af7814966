#!/usr/bin/env bash
# The Windows build's frame time beside the Linux one (not part of the tests or CI): each plug-in
# rendered at its defaults by build/ffglhost (.so) and by build-win64/ffglhost.exe (.dll) under
# Wine, alternately, ROUNDS times, on the same machine and the same Mesa llvmpipe. Prints each
# host's median frame time (process call plus glFinish, as ffglhost reports it) per round, and
# the ratio Windows / Linux of the medians over all rounds.
#
#   bench/wine-frame-time.sh [--size WxH] [--frames N] [--rounds R]    (default 1280x720, 300, 3)
#
# Build both first (scripts/setup.sh, scripts/build-windows.sh). Timings follow the machine's
# load; the alternation keeps both hosts under the same load.
set -euo pipefail
cd "$(dirname "$0")/.."

size=1280x720
frames=300
rounds=3
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift ;;
    --frames) frames=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    *) echo "usage: bench/wine-frame-time.sh [--size WxH] [--frames N] [--rounds R]" >&2; exit 2 ;;
  esac
  shift
done
for f in build/ffglhost build-win64/ffglhost.exe; do
  [ -x "$f" ] || { echo "wine-frame-time.sh: $f is missing: build it first" >&2; exit 2; }
done

export WINEPREFIX="$PWD/build-win64/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$out"' EXIT

xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  set -euo pipefail
  size=$1 frames=$2 rounds=$3 out=$4
  median() { sed -n "s/.*: median \([0-9.]*\) ms.*/\1/p" | tr -d "\r"; }
  printf "%-10s %5s %12s %12s\n" plug-in round "Linux ms" "Windows ms"
  for plugin in Quorus Afterglow; do
    linux=() windows=()
    for round in $(seq "$rounds"); do
      l=$(build/ffglhost render "build/plugins/$plugin.so" --size "$size" --frames "$frames" --out "$out/l.png" 2>/dev/null | median)
      w=$(wine build-win64/ffglhost.exe render "build-win64/plugins/$plugin.dll" --size "$size" --frames "$frames" \
            --out "$out/w.png" 2>/dev/null | median)
      printf "%-10s %5s %12s %12s\n" "$plugin" "$round" "$l" "$w"
      linux+=("$l") windows+=("$w")
    done
    printf "%s\n" "${linux[@]}" | sort -g | awk -v p="$plugin" -v w="$(printf "%s\n" "${windows[@]}" | sort -g | \
      awk "{a[NR]=\$1} END {print a[int((NR+1)/2)]}")" \
      "{a[NR]=\$1} END {m=a[int((NR+1)/2)]; printf \"%-10s median Linux %.3f ms, Windows %.3f ms, ratio %.2f\n\", p, m, w, w/m}"
  done
' _ "$size" "$frames" "$rounds" "$out"

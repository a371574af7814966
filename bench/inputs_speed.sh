#!/usr/bin/env bash
# What feeding an effect costs (not part of the tests or CI), as ratios measured in one run:
#
#   image / pattern   the effect with a still PNG input against the same render with a still
#                     built-in pattern: an image is decoded and uploaded once, not every frame
#   video / image     a 1280x720 H.264 video input (made here with ffmpeg) against the still
#                     image: ffmpeg decodes beside the rendering, a few frames ahead
#   chain / sum       Quorus --then EFFECT against Quorus alone plus EFFECT alone (with a still
#                     pattern), per frame: each render's wall time at FRAMES frames less its time
#                     at FRAMES/10, divided by the frames between, so start-up drops out; and the
#                     medians of the reported frame times (code 17 and glFinish of every stage)
#
# Every case runs ROUNDS times, alternating, so that all see the same load; each column is the
# median over the rounds. Memory is the peak resident size of the largest process of the run
# (ffglhost, its worker or ffmpeg), from GNU time.
#
#   bench/inputs_speed.sh [--size WxH] [--frames N] [--rounds R] [EFFECT.so]
#                         (default 1280x720, 300 frames, 3 rounds, build/plugins/Kaleidoscope.so)
set -euo pipefail
cd "$(dirname "$0")/.."

size=1280x720
frames=300
rounds=3
effect=build/plugins/Kaleidoscope.so
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift ;;
    --frames) frames=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    -*) echo "usage: bench/inputs_speed.sh [--size WxH] [--frames N] [--rounds R] [EFFECT.so]" >&2; exit 2 ;;
    *) effect=$1 ;;
  esac
  shift
done
host=build/ffglhost
quorus=build/plugins/Quorus.so
for f in "$host" "$quorus" "$effect"; do
  [ -e "$f" ] || { echo "inputs_speed.sh: $f is missing: run scripts/setup.sh" >&2; exit 2; }
done
for tool in ffmpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "inputs_speed.sh: $tool is missing (Debian packages ffmpeg, time)" >&2; exit 2; }
done
short=$((frames / 10 > 0 ? frames / 10 : 1))

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "==> Making the inputs: a ${size} PNG and a ${size} H.264 video of $frames frames" >&2
ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=60" -frames:v 1 "$out/still.png"
ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=60" -frames:v "$frames" -c:v libx264 -pix_fmt yuv420p \
  "$out/clip.mp4" 2>/dev/null ||
  ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=60" -frames:v "$frames" -c:v mpeg4 -q:v 3 "$out/clip.mp4"

# One render; prints "wall_s peak_kib median_ms".
run() {
  local n=$1
  shift
  /usr/bin/time -f "%e %M" -o "$out/time" "$host" render "$@" --size "$size" --frames "$n" --out "$out/frame.png" \
    >"$out/log" 2>&1 || { cat "$out/log" >&2; exit 1; }
  local median
  median=$(sed -n 's/^frame time.*: median \([0-9.]*\) ms.*/\1/p' "$out/log")
  echo "$(cat "$out/time") $median"
}

cases=(pattern image video quorus chain)
args_of() {
  case "$1" in
    pattern) echo "$effect --input pattern:card" ;;
    image) echo "$effect --input $out/still.png" ;;
    video) echo "$effect --input $out/clip.mp4" ;;
    quorus) echo "$quorus" ;;
    chain) echo "$quorus --then $effect" ;;
  esac
}
results=$out/results
: >"$results"
printf "%-8s %5s %7s %9s %10s %11s\n" case round frames "wall s" "peak MiB" "median ms" >&2
for round in $(seq 1 "$rounds"); do
  for c in "${cases[@]}"; do
    for n in "$frames" "$short"; do
      # The short runs only serve the per-frame costs of the chain and its parts.
      if [ "$n" = "$short" ] && { [ "$c" = image ] || [ "$c" = video ]; }; then continue; fi
      # shellcheck disable=SC2046
      read -r wall peak median <<<"$(run "$n" $(args_of "$c"))"
      echo "$c $n $wall $peak $median" >>"$results"
      printf "%-8s %5s %7s %9s %10s %11s\n" "$c" "$round" "$n" "$wall" "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')" \
        "$median" >&2
    done
  done
done

# The median over the rounds of field F (3 wall, 4 peak, 5 median) of case C at N frames.
med() {
  awk -v c="$1" -v n="$2" -v f="$3" '$1 == c && $2 == n { print $f }' "$results" | sort -g |
    awk '{ a[NR] = $1 } END { print NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
perframe() { awk -v a="$(med "$1" "$frames" 3)" -v b="$(med "$1" "$short" 3)" -v d=$((frames - short)) \
  'BEGIN { printf "%.4f", (a - b) / d * 1000 }'; }

echo
echo "$(basename "$effect") at $size, $frames frames, median of $rounds rounds:"
printf "| %-38s | %-22s | %-22s | %-7s |\n" "comparison" "case" "baseline" "ratio"
printf "|%s|%s|%s|%s|\n" "----------------------------------------" "------------------------" "------------------------" "---------"
row() { printf "| %-38s | %-22s | %-22s | %-7s |\n" "$1" "$2" "$3" "$(awk -v a="$4" -v b="$5" 'BEGIN { printf "%.3f", a / b }')"; }
for pair in "image pattern" "video image"; do
  read -r a b <<<"$pair"
  row "$a / $b: wall time" "$(med "$a" "$frames" 3) s" "$(med "$b" "$frames" 3) s" "$(med "$a" "$frames" 3)" "$(med "$b" "$frames" 3)"
  row "$a / $b: median frame" "$(med "$a" "$frames" 5) ms" "$(med "$b" "$frames" 5) ms" "$(med "$a" "$frames" 5)" "$(med "$b" "$frames" 5)"
  row "$a / $b: peak memory" "$(med "$a" "$frames" 4) KiB" "$(med "$b" "$frames" 4) KiB" "$(med "$a" "$frames" 4)" "$(med "$b" "$frames" 4)"
done
sumpf=$(awk -v a="$(perframe quorus)" -v b="$(perframe pattern)" 'BEGIN { printf "%.4f", a + b }')
row "chain / sum of stages: wall per frame" "$(perframe chain) ms" "$sumpf ms" "$(perframe chain)" "$sumpf"
summed=$(awk -v a="$(med quorus "$frames" 5)" -v b="$(med pattern "$frames" 5)" 'BEGIN { printf "%.3f", a + b }')
row "chain / sum of stages: median frame" "$(med chain "$frames" 5) ms" "$summed ms" "$(med chain "$frames" 5)" "$summed"

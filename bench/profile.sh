#!/usr/bin/env bash
# Where a Quorus frame's time goes, in three short tables (not part of the tests or CI):
#
#  1. Instruction counts (callgrind, repeatable) of the effect's own CPU work for 400 particles,
#     Quorify 10 and 40: the motion step, the neighbour search and the three-nearest selection,
#     beside the full-sort search they replaced (run by quorus_bench --cpu-only).
#  2. Instruction counts of one whole steady frame through the host (ffglhost) at the defaults,
#     and with --heavy-frame also at the heaviest setting (about ten minutes under callgrind).
#  3. The floor for the GL work itself: the frames recorded with apitrace and replayed headless
#     with its EGL retracer; the ratio of the host's frame time to the replay's says how close
#     the plug-in comes to the cost of the picture it draws.
#
#   bench/profile.sh [--heavy-frame] [--size WxH]
#   PLUGIN=other/Quorus.so bench/profile.sh      tables 2 and 3 for another build of the plug-in
#
# Installs valgrind and apitrace when missing (scripts/setup.sh --profiling) and builds what it
# runs in build/. Timings (table 3) vary with the machine's load; instruction counts do not.
set -euo pipefail
cd "$(dirname "$0")/.."

heavy_frame=0
size=1280x720
while [ $# -gt 0 ]; do
  case "$1" in
    --heavy-frame) heavy_frame=1 ;;
    --size) size=$2; shift ;;
    *) echo "usage: bench/profile.sh [--heavy-frame] [--size WxH]" >&2; exit 2 ;;
  esac
  shift
done

bash scripts/setup.sh --profiling --no-build
[ -f build/build.ninja ] || bash scripts/setup.sh
cmake --build build -j2 --target Quorus ffglhost quorus_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The profilers follow one process: the host runs the plug-in in its own, not in a worker.
render=(build/ffglhost render --in-process)
plugin=${PLUGIN:-build/plugins/Quorus.so}
table=bench/callgrind_table.py
heaviest=(--set Particles=1 --set Quorify=1 --set "Line Width=1" --set "Triangle Opacity=1")
ours=('motion step=^Plugin::update\(' 'neighbour search=^NeighbourSearch::find'
      'three nearest=^nearestThree\(')

echo "== 1. CPU work of the effect, 400 particles (callgrind, Ir per call)"
for q in 10 40; do
  echo "-- Quorify $q"
  valgrind --tool=callgrind --callgrind-out-file="$work/cpu$q.out" \
    build/quorus_bench --cpu-only --quorify "$q" --repeats 5 >/dev/null 2>&1
  python3 "$table" "$work/cpu$q.out" "${ours[@]}" \
    'full-sort baseline: std::sort=^void std::__(introsort_loop|final_insertion_sort|insertion_sort).*pair<float, int>' \
    | grep -v 'everything collected'
done

# One frame under callgrind: collected only inside the plug-in's frame call, one part per frame;
# the last part is a steady frame (the first ones include the GL driver's shader compilation).
frame_profile() {
  local name=$1 frames=$2 frame_size=$3; shift 3
  valgrind --tool=callgrind --callgrind-out-file="$work/$name.out" --collect-atstart=no \
    --toggle-collect='KXFFGLPlugin::ProcessOpenGL*' --dump-after='ffglhost::PluginInstance::processFrame*' \
    "${render[@]}" "$plugin" --size "$frame_size" --frames "$frames" --out "$work/$name.png" "$@" >/dev/null 2>&1
  echo "-- $name, frame $frames of $frames at $frame_size"
  python3 "$table" "$work/$name.out.$frames" 'whole frame (plug-in call)=^KXFFGLPlugin::ProcessOpenGL' \
    "${ours[@]}" 'drawing loop, self=^Plugin::draw\(\)' \
    'std::sort, self=^void std::__(introsort_loop|final_insertion_sort|insertion_sort).*pair<float, int>' \
    'spheres (GL)=^Ball::draw' 'cylinders (GL)=^Plugin::drawConnection' | grep -v 'everything collected'
}
echo
echo "== 2. One steady frame through the host (callgrind)"
frame_profile defaults 3 320x180
if [ "$heavy_frame" -eq 1 ]; then
  frame_profile heaviest 2 64x36 "${heaviest[@]}"
fi

# Median frame time the host reports, and two medians of the replayed frames of the same render,
# split at the frame marks the host leaves for tracers (the first frame, with the driver's shader
# compilation, is left out): "wall", from the end of one frame's last call to the end of the
# next frame's, includes the retracer's own reading of the trace, which for frames of very many
# calls outweighs the plug-in's work; "in GL" sums the time spent inside the replayed calls only,
# which misses rasterisation that overlapped the retracer's reading. The floor lies in between.
median() { sort -n | awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]; else print "nan"}'; }
echo
echo "== 3. GL floor: host frame time against its apitrace replay at $size"
printf '%-10s %6s %10s %12s %8s %12s %8s\n' setting frames "host ms" "replay wall" ratio "replay in GL" ratio
for setting in defaults heaviest; do
  if [ "$setting" = defaults ]; then frames=60; args=(); else frames=4; args=("${heaviest[@]}"); fi
  host_ms=$("${render[@]}" "$plugin" --size "$size" --frames "$frames" --out "$work/plain.png" "${args[@]}" |
            sed -n 's/.*: median \([0-9.]*\) ms.*/\1/p')
  apitrace trace --api egl -o "$work/$setting.trace" \
    "${render[@]}" "$plugin" --size "$size" --frames "$frames" --out "$work/traced.png" "${args[@]}" >/dev/null 2>&1
  WAFFLE_PLATFORM=surfaceless_egl eglretrace --headless --pcpu --min-cpu-time=0 "$work/$setting.trace" 2>/dev/null |
    awk '/^call/ {end = $5 + $6; inside += $6}
         /^frame_end/ {if (last) printf "%.3f %.3f\n", (end - last) / 1e6, inside / 1e6; last = end; inside = 0}' \
    >"$work/frames.txt"
  wall_ms=$(cut -d' ' -f1 "$work/frames.txt" | median)
  gl_ms=$(cut -d' ' -f2 "$work/frames.txt" | median)
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2fx", a / b; else print "-"}'; }
  printf '%-10s %6d %10s %12s %8s %12s %8s\n' "$setting" "$frames" "$host_ms" "$wall_ms" "$(ratio "$host_ms" "$wall_ms")" \
    "$gl_ms" "$(ratio "$host_ms" "$gl_ms")"
  rm -f "$work/$setting.trace"
done

#!/usr/bin/env bash
# Runs inside the folder bench/device/bundle.sh made, on a machine with a GPU driver that offers
# EGL (made for NVIDIA's): prints the renderer the host got, validates both plug-ins, renders the
# reference cases and compares them with the frames kept from llvmpipe, and times frames with the
# benchmark and with a 300-frame render at 1280x720. Writes report.txt (and a sample frame) to
# $OUT, or to results/ beside this script.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
results=${OUT:-$here/results}
mkdir -p "$results"
exec > >(tee "$results/report.txt") 2>&1

# Our libraries first, then the GPU vendor's EGL driver wherever the machine keeps it.
vendor_lib=$(find /usr/local/nvidia /usr/lib /usr/lib64 -name 'libEGL_nvidia.so.0' 2>/dev/null | head -n 1)
export LD_LIBRARY_PATH="$here/lib${vendor_lib:+:$(dirname "$vendor_lib")}"
vendor_json=$(find /usr/local/nvidia /usr/share/glvnd /etc/glvnd -name '*nvidia*.json' -path '*egl_vendor.d*' 2>/dev/null | head -n 1)
[ -n "$vendor_json" ] && export __EGL_VENDOR_LIBRARY_FILENAMES="$vendor_json"
echo "vendor EGL: ${vendor_lib:-none found} (${vendor_json:-no vendor file})"
nvidia-smi --query-gpu=name,driver_version --format=csv,noheader 2>/dev/null

# The benchmark looks for the plug-ins in the build folder it was configured in.
build_dir=$(cat "$here/build-dir")
mkdir -p "$(dirname "$build_dir")"
[ -e "$build_dir" ] || ln -s "$here/build" "$build_dir"
host=$here/build/ffglhost
plugins=$here/build/plugins

echo; echo "== validate"
for p in Quorus Afterglow; do
  "$host" validate "$plugins/$p.so" --size 640x360 >"$results/validate-$p.txt" 2>/dev/null
  echo "$p: exit $? | $(head -n 1 "$results/validate-$p.txt") | $(tail -n 1 "$results/validate-$p.txt")"
  grep -E '^(FAIL|WARN)' "$results/validate-$p.txt"
done

echo; echo "== reference frames against llvmpipe's"
frames=$(mktemp -d)
while read -r name plugin size count every settings; do
  case "$name" in ''|'#'*) continue ;; esac
  args=(render "$plugins/$plugin.so" --size "$size" --frames "$count" --every "$every" --out "$frames/$name")
  if [ -n "${settings:-}" ]; then
    IFS=';' read -ra pairs <<<"$settings"
    for pair in "${pairs[@]}"; do args+=(--set "$pair"); done
  fi
  "$host" "${args[@]}" >/dev/null 2>&1 || echo "$name: render failed"
done <"$here/reference/cases.txt"
python3 "$here/compare_frames.py" "$here/reference" "$frames" ||
  echo "(the comparison needs python3 with numpy and Pillow)"

echo; echo "== frame times"
"$here/build/quorus_bench" --size 1280x720 --frames 120 2>/dev/null | grep -E 'frame|ms'
for p in Quorus Afterglow; do
  echo "$p, 300 frames at 1280x720:"
  "$host" render "$plugins/$p.so" --size 1280x720 --frames 300 --out "$results/$p-1280x720.png" 2>/dev/null |
    grep -vE '^parameter'
done

#!/usr/bin/env bash
# Packs the built host, benchmark and plug-ins with the shared libraries they need (all but the C
# library itself) into one folder that runs on another Linux x86-64 machine without installing
# anything, for example a machine with a GPU driver that offers EGL. The GL dispatch libraries are
# the vendor-neutral ones (libglvnd): they load whichever vendor's EGL the machine has.
#
#   bench/device/bundle.sh [BUILD_DIR [OUT_DIR]]     defaults: build, .device
#
# Then, on that machine, from the folder's parent: bash .device/report.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(cd "${1:-build}" && pwd)
out=${2:-.device}
for f in ffglhost quorus_bench plugins/Quorus.so plugins/Afterglow.so tests/plugins/ClearGen.so; do
  [ -f "$build/$f" ] || { echo "bundle.sh: $build/$f is missing; build first (scripts/setup.sh)" >&2; exit 2; }
done

rm -rf "$out"
mkdir -p "$out/lib" "$out/build/plugins" "$out/build/tests/plugins"
cp "$build/ffglhost" "$build/quorus_bench" "$out/build/"
cp "$build"/plugins/*.so "$out/build/plugins/"
cp "$build/tests/plugins/ClearGen.so" "$out/build/tests/plugins/"
strip --strip-debug "$out"/build/ffglhost "$out"/build/quorus_bench "$out"/build/plugins/*.so "$out"/build/tests/plugins/*.so
# The benchmark finds the plug-ins under the build folder it was configured in.
echo "$build" >"$out/build-dir"
cp -r tests/reference "$out/reference"
cp bench/device/report.sh bench/device/compare_frames.py "$out/"

# Every library the programs and plug-ins load, except the C library's own parts.
ldd "$out"/build/ffglhost "$out"/build/quorus_bench "$out"/build/plugins/*.so 2>/dev/null |
  awk '$2 == "=>" && $3 ~ /^\// {print $3}' | sort -u |
  grep -Ev '/(libc|libm|libdl|libpthread|librt|ld-linux[^/]*)\.so' |
  while read -r lib; do cp -L "$lib" "$out/lib/"; done
du -sh "$out"

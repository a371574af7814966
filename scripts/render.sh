#!/usr/bin/env bash
# Main job: sets up (installs missing packages, builds) and renders the Quorus effect with its
# default parameters at 1280x720 with the bundled headless host, after enough frames for the
# particle field to settle. Writes out/quorus.png.
#
#   scripts/render.sh [extra ffglhost render options...]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
mkdir -p out
./build/ffglhost render build/plugins/Quorus.so --size 1280x720 --frames 300 --out out/quorus.png "$@"
echo "==> The picture is at $(pwd)/out/quorus.png"

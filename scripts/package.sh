#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh, release build in build/), then makes the two Debian
# packages with CPack into out/packages/:
#
#   quorus_<version>_<arch>.deb     for users: /usr/bin/ffglhost and the plug-ins in /usr/lib/ffgl/
#   libkx-dev_<version>_<arch>.deb  for effect developers: the KX framework kit (headers in
#                                   /usr/include/KX, libraries, the CMake package KX, kx-new-effect)
#
# Their dependencies on Debian 12 packages are in each package's Depends (shown at the end), so
#   sudo apt install ./out/packages/quorus_*.deb ./out/packages/libkx-dev_*.deb
# installs what they need. Remove them with: sudo apt remove quorus libkx-dev
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh --packaging
out=$PWD/out/packages
rm -rf "$out"
mkdir -p "$out"
echo "==> Packaging into out/packages"
# CPack installs each component into a staging folder below its own working folder.
staging=$(mktemp -d "${TMPDIR:-/tmp}/kx-package.XXXXXX")
trap 'rm -rf "$staging"' EXIT
(cd build && cpack -G DEB -B "$staging" >"$staging/cpack.log" 2>&1) || {
  cat "$staging/cpack.log" >&2
  echo "package.sh: cpack failed" >&2
  exit 1
}
mv "$staging"/*.deb "$out"/
for deb in "$out"/*.deb; do
  echo "$(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Depends Recommends Suggests | sed 's/^/    /'
done

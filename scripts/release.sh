#!/usr/bin/env bash
# Builds a release anyone can download and check into out/release/, then checks it
# (scripts/check-release.sh):
#
#   quorus_VERSION_amd64.deb          ffglhost and the plug-ins for 64-bit Debian (scripts/package.sh)
#   libkx-dev_VERSION_amd64.deb       the kit for effect developers (scripts/package.sh)
#   quorus_VERSION_i386.deb           the same host and plug-ins built as 32-bit x86 code, for
#                                     32-bit hosts (the build-i386/ tree of scripts/test.sh --i386)
#   quorus-VERSION-windows-x64.zip    the plug-in DLLs, ffglhost.exe and INSTALL.txt, in one folder
#                                     (the build-win64/ tree of scripts/build-windows.sh)
#   SHA256SUMS                        sha256sum's list of all of them: sha256sum -c SHA256SUMS
#
# VERSION is the project's one version (the top CMakeLists.txt). Builds that exist are brought up to
# date, missing ones are made (the 32-bit and Windows builds take several minutes each); what is
# missing on this machine is installed by the set-up scripts.
#
#   scripts/release.sh [--no-check]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

check=1
for arg in "$@"; do
  case "$arg" in
    --no-check) check=0 ;;
    *) echo "release.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

out=$root/out/release
staging=$(mktemp -d "${TMPDIR:-/tmp}/kx-release.XXXXXX")
trap 'rm -rf "$staging"' EXIT

# The 64-bit packages (package.sh builds build/ first).
bash scripts/package.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ -n "$version" ] || { echo "release.sh: no project version in build/CMakeCache.txt" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
cp out/packages/*.deb "$out"/

# The 32-bit x86 runtime package: the same components, built by the i386 toolchain.
echo "==> The 32-bit x86 package"
bash scripts/setup.sh --i386 >/dev/null
(cd build-i386 && cpack -G DEB -B "$staging/i386" >"$staging/cpack-i386.log" 2>&1) || {
  cat "$staging/cpack-i386.log" >&2
  echo "release.sh: cpack failed in build-i386" >&2
  exit 1
}
cp "$staging"/i386/*.deb "$out"/

# The Windows archive: one folder, so that unpacking it makes no mess.
echo "==> The Windows archive"
bash scripts/build-windows.sh >/dev/null
name=quorus-$version-windows-x64
mkdir -p "$staging/$name"
cp build-win64/plugins/*.dll build-win64/ffglhost.exe "$staging/$name"/
# The DLLs are stripped by their build; the host's debug information stays in build-win64/.
x86_64-w64-mingw32-strip "$staging/$name/ffglhost.exe"
plugins=$(cd "$staging/$name" && ls -1 *.dll | sed 's/\.dll$//' | paste -sd, - | sed 's/,/, /g')
sed -e "s/@VERSION@/$version/g" -e "s/@PLUGINS@/$plugins/g" scripts/release-INSTALL.txt.in |
  sed 's/$/\r/' >"$staging/$name/INSTALL.txt"
(cd "$staging" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")

(cd "$out" && sha256sum -- *.deb *.zip >SHA256SUMS)
echo "==> out/release:"
(cd "$out" && ls -l)
[ "$check" -eq 0 ] || bash scripts/check-release.sh

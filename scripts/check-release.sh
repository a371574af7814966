#!/usr/bin/env bash
# Checks out/release/ as scripts/release.sh leaves it, the way someone who downloads it would:
#
#   - exactly the expected files, named with the project's version, and SHA256SUMS agreeing
#     with them (sha256sum -c);
#   - each Debian package: its name, version, architecture, the files it installs (ffglhost and
#     every plug-in of the tree; the kit's headers, libraries and CMake package) and its Depends;
#     plug-ins that export only plugMain, 32-bit x86 code in the i386 package;
#   - the Windows archive: its listing, every DLL's export and import tables (plugMain alone;
#     system DLLs alone), and the unpacked DLLs loaded by the unpacked ffglhost.exe under Wine,
#     each passing validate.
#
#   scripts/check-release.sh          (after scripts/release.sh; run by it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rel=$root/out/release

fail() {
  echo "check-release.sh: $*" >&2
  exit 1
}
[ -d "$rel" ] || fail "no $rel: run scripts/release.sh"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
plugins=$(cd build/plugins && ls -1 *.so | sed 's/\.so$//' | sort)
[ -n "$plugins" ] || fail "no plug-ins in build/plugins"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx-release-check.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "==> Release files and checksums"
zip=quorus-$version-windows-x64.zip
expected=$(printf '%s\n' "SHA256SUMS" "libkx-dev_${version}_amd64.deb" "quorus_${version}_amd64.deb" \
  "quorus_${version}_i386.deb" "$zip" | sort)
actual=$(cd "$rel" && ls -1 | sort)
[ "$actual" = "$expected" ] || fail "out/release holds:
$actual
expected:
$expected"
(cd "$rel" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match the files"
[ "$(wc -l <"$rel/SHA256SUMS")" -eq 4 ] || fail "SHA256SUMS does not list the four release files"

# field DEB NAME: one control field of a package.
field() { dpkg-deb --field "$1" "$2"; }
# has_file DEB PATH: the package installs PATH (as "./usr/...").
has_file() { dpkg-deb --contents "$1" | awk '{ print $NF }' | grep -qxF "$2" || fail "$(basename "$1") lacks $2"; }
# exports_only_plugmain SO: the dynamic symbols a plug-in defines are plugMain alone.
exports_only_plugmain() {
  local defined
  defined=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVW]$/ { print $3 }' | sort -u)
  [ "$defined" = plugMain ] || fail "$1 exports: $(echo "$defined" | paste -sd' ' -) (only plugMain wanted)"
}

for arch in amd64 i386; do
  deb=$rel/quorus_${version}_$arch.deb
  echo "==> $(basename "$deb")"
  [ "$(field "$deb" Package)" = quorus ] || fail "$(basename "$deb") is not the package quorus"
  [ "$(field "$deb" Version)" = "$version" ] || fail "$(basename "$deb") has version $(field "$deb" Version)"
  [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$(basename "$deb") is for $(field "$deb" Architecture)"
  depends=$(field "$deb" Depends)
  for d in libc6 libegl1 libegl-mesa0 libgl1-mesa-dri libpng16-16 libturbojpeg0; do
    [[ ", $depends," == *", $d"[\ ,]* ]] || fail "$(basename "$deb") does not depend on $d: $depends"
  done
  has_file "$deb" ./usr/bin/ffglhost
  mkdir -p "$scratch/$arch"
  dpkg-deb --extract "$deb" "$scratch/$arch"
  for p in $plugins; do
    has_file "$deb" "./usr/lib/ffgl/$p.so"
    so=$scratch/$arch/usr/lib/ffgl/$p.so
    exports_only_plugmain "$so"
    class=$(readelf -h "$so" | awk -F: '/Class:/ { gsub(/ /, "", $2); print $2 }')
    want=ELF64
    [ "$arch" = amd64 ] || want=ELF32
    [ "$class" = "$want" ] || fail "$p.so in the $arch package is $class code"
  done
  echo "    $(echo "$plugins" | paste -sd' ' -) and ffglhost; Depends: $depends"
done

kit=$rel/libkx-dev_${version}_amd64.deb
echo "==> $(basename "$kit")"
[ "$(field "$kit" Package)" = libkx-dev ] || fail "$(basename "$kit") is not the package libkx-dev"
[ "$(field "$kit" Version)" = "$version" ] || fail "$(basename "$kit") has version $(field "$kit" Version)"
for f in ./usr/include/KX/KXFFGLApp.h ./usr/lib/libkxapi.a ./usr/lib/cmake/KX/KXConfig.cmake ./usr/bin/kx-new-effect; do
  has_file "$kit" "$f"
done
for d in cmake libtinyxml-dev libgl-dev; do
  [[ "$(field "$kit" Depends)" == *"$d"* ]] || fail "$(basename "$kit") does not depend on $d"
done
echo "    headers, libraries, the CMake package and kx-new-effect; Depends: $(field "$kit" Depends)"

echo "==> $zip"
folder=quorus-$version-windows-x64
listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$rel/$zip")
wanted=$( (for p in $plugins; do echo "$folder/$p.dll"; done; echo "$folder/INSTALL.txt"; echo "$folder/ffglhost.exe") | sort)
[ "$listing" = "$wanted" ] || fail "$zip lists:
$listing
expected:
$wanted"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$rel/$zip" "$scratch/win"
objdump=x86_64-w64-mingw32-objdump
for p in $plugins; do
  cmake -DOBJDUMP=$objdump -DDLL="$scratch/win/$folder/$p.dll" -P tests/windows/CheckPluginDll.cmake >/dev/null ||
    fail "$p.dll in $zip: its export or import table is wrong (cmake -P tests/windows/CheckPluginDll.cmake says why)"
done
cmake -DOBJDUMP=$objdump -DDLL="$scratch/win/$folder/ffglhost.exe" -DPROGRAM=ON -P tests/windows/CheckPluginDll.cmake \
  >/dev/null || fail "ffglhost.exe in $zip imports DLLs that are not part of Windows"
grep -q "Quorus $version for Windows" "$scratch/win/$folder/INSTALL.txt" || fail "INSTALL.txt does not name the version"

# The unpacked archive as a user runs it, under Wine with its own prefix and a virtual display.
export WINEPREFIX="$root/build-win64/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  set -e
  wineboot -i >/dev/null 2>&1 || true
  cd "$1"
  shift
  for p in "$@"; do
    wine ffglhost.exe validate "$p.dll" --size 64x36 >validate-$p.log 2>&1 ||
      { cat validate-$p.log >&2; echo "check-release.sh: $p.dll from the archive does not pass ffglhost.exe validate" >&2; exit 1; }
    echo "    $p.dll: $(tail -n 1 validate-$p.log | tr -d "\r")"
  done
' _ "$scratch/win/$folder" $plugins
echo "==> The release checks out"

#!/usr/bin/env bash
# Builds the plug-ins as 64-bit Windows DLLs with the MinGW-w64 cross compiler, and runs the
# Windows build of the tests under Wine.
#
#   scripts/build-windows.sh               install what is missing, build into build-win64/
#   scripts/build-windows.sh --test        the same, then run the Windows tests under Wine
#   scripts/build-windows.sh --no-build    install the Debian packages only
#
# Results: build-win64/plugins/Quorus.dll and Afterglow.dll (each exports only plugMain and
# imports only system DLLs), and the test programs in build-win64/tests/.
#
# Debian ships no MinGW build of TinyXML, so it is built from Debian's own source package of the
# version the Linux build uses, with Debian's patches, downloaded through a private apt
# configuration under build-win64/deps/apt (the machine's package sources stay as they are).
# GoogleTest is built from Debian's googletest package (/usr/src/googletest). Nothing of either
# is written into the repository.
#
# Wine runs with a private prefix in build-win64/wine, under a virtual X display (xvfb-run) so
# that the GL tests get a WGL context; its background server is stopped at the end of every run.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-win64
do_build=1
do_test=0
for arg in "$@"; do
  case "$arg" in
    --test) do_test=1 ;;
    --no-build) do_build=0 ;;
    *) echo "build-windows.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

# The packages of the Linux build (TinyXML's version is taken from it) and of this one.
bash scripts/setup.sh --windows --no-build

[ "$do_build" -eq 1 ] || exit 0

deps="$PWD/$build_dir/deps"

# TinyXML: Debian's source package of the version the Linux build uses, unpacked with Debian's
# patches applied (dpkg-source). apt reads a private copy of the machine's Debian sources, with
# deb-src in place of deb, and keeps its lists and downloads under $deps/apt.
fetch_tinyxml() {
  local version source_dir apt
  version=$(dpkg-query -W -f='${source:Version}\n' libtinyxml-dev | head -n 1)
  source_dir="$deps/tinyxml-$version"
  if [ -f "$source_dir/.unpacked" ]; then
    TINYXML_SOURCE_DIR=$(cat "$source_dir/.unpacked")
    return
  fi
  echo "==> Fetching Debian's TinyXML source package $version"
  apt="$deps/apt"
  rm -rf "$apt" "$source_dir"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$source_dir"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f"
  done > "$apt/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/$(basename "$f")"
  done
  local opts=(
    -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root
  )
  # Sources other than Debian's may have no source index; what counts is that the download works.
  apt-get "${opts[@]}" -qq update || true
  (cd "$source_dir" && apt-get "${opts[@]}" -qq source "tinyxml=$version")
  TINYXML_SOURCE_DIR=$(find "$source_dir" -mindepth 2 -maxdepth 2 -name tinyxml.cpp -printf '%h\n' | head -n 1)
  if [ -z "$TINYXML_SOURCE_DIR" ]; then
    echo "build-windows.sh: Debian's TinyXML source package did not unpack" >&2
    exit 1
  fi
  echo "$TINYXML_SOURCE_DIR" > "$source_dir/.unpacked"
}

mkdir -p "$deps"
fetch_tinyxml

echo "==> Configuring $build_dir"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DKX_TINYXML_SOURCE_DIR="$TINYXML_SOURCE_DIR" >/dev/null
echo "==> Building $build_dir"
cmake --build "$build_dir" -j "$(nproc)"

[ "$do_test" -eq 1 ] || exit 0

# One virtual X display and one Wine server for the whole run; the server is stopped at the end
# (also on failure), so that no later run meets a server bound to a display that is gone.
export WINEPREFIX="$PWD/$build_dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT
echo "==> Running the Windows tests under Wine"
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  set -e
  # A new prefix is made on the first start; make it before the tests run side by side.
  wineboot -i >/dev/null 2>&1 || true
  ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
' _ "$build_dir"

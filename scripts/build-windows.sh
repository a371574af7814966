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
# Debian ships no MinGW build of TinyXML or libpng, so each is built from Debian's own source
# package of the version the Linux build uses (libtinyxml-dev, libpng-dev), with Debian's patches,
# downloaded through a private apt configuration under build-win64/deps/apt (the machine's
# package sources stay as they are); libpng links the MinGW zlib Debian ships (libz-mingw-w64-dev).
# GoogleTest is built from Debian's googletest package (/usr/src/googletest). Nothing of these
# is written into the repository.
#
# Results also: build-win64/ffglhost.exe, the host (info, render, validate) for trying the DLLs.
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

# Debian's own source packages, unpacked with Debian's patches applied (dpkg-source), of the
# versions the Linux build uses: apt reads a private copy of the machine's Debian sources, with
# deb-src in place of deb, and keeps its lists and downloads under $deps/apt. The lists are
# fetched once per run, when the first package is missing.
apt_ready=0
apt_opts=()
prepare_source_apt() {
  [ "$apt_ready" -eq 0 ] || return 0
  local apt="$deps/apt" f
  rm -rf "$apt"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f"
  done > "$apt/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/$(basename "$f")"
  done
  apt_opts=(
    -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root
  )
  # Sources other than Debian's may have no source index; what counts is that the download works.
  apt-get "${apt_opts[@]}" -qq update || true
  apt_ready=1
}

# The versions of source package $1 other than $2 that apt can see with the upstream version of $2,
# newest first (Debian's mirror may no longer carry the security archive's latest upload of a
# package, and its index may list an upload its pool does not hold yet or any more).
same_upstream_versions() {
  local upstream=${2%-*} v
  for v in $(apt-cache "${apt_opts[@]}" showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p'); do
    [ "${v%-*}" = "$upstream" ] && [ "$v" != "$2" ] && echo "$v"
  done | sort -u | sort -r -V
}

# fetch_source BINARY_PACKAGE MARKER_FILE: unpacks the source package of the installed
# BINARY_PACKAGE under $deps and sets SOURCE_DIR to the folder that holds MARKER_FILE. When that
# exact version cannot be downloaded, the newest one of the same upstream version is used and a
# warning names both.
fetch_source() {
  local binary=$1 marker=$2 name version source_dir fallback
  name=$(dpkg-query -W -f='${source:Package}\n' "$binary" | head -n 1)
  version=$(dpkg-query -W -f='${source:Version}\n' "$binary" | head -n 1)
  source_dir="$deps/$name-$version"
  if [ -f "$source_dir/.unpacked" ]; then
    SOURCE_DIR=$(cat "$source_dir/.unpacked")
    return
  fi
  echo "==> Fetching Debian's source package $name $version"
  prepare_source_apt
  rm -rf "$source_dir"
  mkdir -p "$source_dir"
  if ! (cd "$source_dir" && apt-get "${apt_opts[@]}" -qq source "$name=$version" 2>/dev/null); then
    local used=""
    for fallback in $(same_upstream_versions "$name" "$version"); do
      rm -rf "$source_dir" && mkdir -p "$source_dir"
      if (cd "$source_dir" && apt-get "${apt_opts[@]}" -qq source "$name=$fallback" 2>/dev/null); then
        used=$fallback
        break
      fi
    done
    if [ -z "$used" ]; then
      echo "build-windows.sh: cannot download Debian's source package $name $version, nor another upload of" \
        "its upstream version" >&2
      exit 1
    fi
    echo "build-windows.sh: warning: $name $version cannot be downloaded from the mirror; using $used" >&2
  fi
  SOURCE_DIR=$(find "$source_dir" -mindepth 2 -maxdepth 2 -name "$marker" -printf '%h\n' | head -n 1)
  if [ -z "$SOURCE_DIR" ]; then
    echo "build-windows.sh: Debian's source package $name did not unpack" >&2
    exit 1
  fi
  echo "$SOURCE_DIR" > "$source_dir/.unpacked"
}

mkdir -p "$deps"
fetch_source libtinyxml-dev tinyxml.cpp
TINYXML_SOURCE_DIR=$SOURCE_DIR
fetch_source libpng-dev png.c
PNG_SOURCE_DIR=$SOURCE_DIR

echo "==> Configuring $build_dir"
# The toolchain file counts only when the build folder is first made; CMake warns of it after.
toolchain=()
[ -f "$build_dir/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${toolchain[@]}" \
  -DKX_TINYXML_SOURCE_DIR="$TINYXML_SOURCE_DIR" -DKX_PNG_SOURCE_DIR="$PNG_SOURCE_DIR" >/dev/null
echo "==> Building $build_dir"
cmake --build "$build_dir" -j "$(nproc)"

[ "$do_test" -eq 1 ] || exit 0

# One virtual X display and one Wine server for the whole run; the server is stopped at the end
# (also on failure), so that no later run meets a server bound to a display that is gone.
export WINEPREFIX="$PWD/$build_dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT
echo "==> Running the Windows tests under Wine"
# A Windows program that fails under Wine before its main() (seen once in a fresh-clone CI run:
# a GL test exited with failure in 0.01 s and printed nothing) is given one more start; a test
# that fails twice fails the stage, and the first failure stays in the log.
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  set -e
  # A new prefix is made on the first start; make it before the tests run side by side.
  wineboot -i >/dev/null 2>&1 || true
  ctest --test-dir "$1" --output-on-failure -j "$(nproc)" --repeat until-pass:2
' _ "$build_dir"

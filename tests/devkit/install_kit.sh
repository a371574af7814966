#!/usr/bin/env bash
# Installs the build into a scratch prefix, makes a standalone effect project with the installed
# kx-new-effect, builds it against the installed kit alone (find_package(KX)) and checks that the
# plug-in exports nothing but plugMain, that the project's own tests and ffglhost validate pass,
# and that the installed generator refuses to write into a source tree it does not have. A
# standalone filter (kx-new-effect --filter) must build and pass its tests the same way.
#
#   install_kit.sh BUILD_DIR [EXTRA_FLAGS [TOOLCHAIN]]
#
# EXTRA_FLAGS: compiler and linker flags (sanitizers); TOOLCHAIN: the CMake toolchain file the
# build was made with (the 32-bit build's), which the project outside must use too.
set -euo pipefail
build=$1
flags=${2:-}
settings=()
[ -n "${3:-}" ] && settings+=(-DCMAKE_TOOLCHAIN_FILE="$3")
# The flags go in through the environment, which CMake adds to a toolchain's own (-m32) on the
# first configuration; a CMAKE_CXX_FLAGS setting would replace them.
export CXXFLAGS="$flags" LDFLAGS="$flags"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "cmake --install"; }
for f in bin/ffglhost bin/kx-new-effect lib/ffgl/Quorus.so lib/ffgl/Afterglow.so include/KX/KXFFGLApp.h \
  include/KX/FFGLPluginSDK.h include/KX/testing/GLTestFixture.h lib/cmake/KX/KXConfig.cmake \
  lib/cmake/KX/KXConfigVersion.cmake; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done

out=$("$prefix/bin/kx-new-effect" Probe 2>&1) && fail "the installed generator made an in-tree effect"
[ "$(wc -l <<<"$out")" -eq 1 ] || fail "expected one line refusing an in-tree effect, got: $out"

"$prefix/bin/kx-new-effect" --standalone "$scratch/Probe" Probe >/dev/null
cmake -S "$scratch/Probe" -B "$scratch/Probe/build" -DCMAKE_PREFIX_PATH="$prefix" "${settings[@]}" \
  >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; fail "configuring the project against the kit"; }
grep -q "^KX_FFGLHOST:FILEPATH=$prefix/bin/ffglhost$" "$scratch/Probe/build/CMakeCache.txt" ||
  fail "the package did not pick the ffglhost installed beside it"
cmake --build "$scratch/Probe/build" -j 2 >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "building the project"; }
! grep -q "warning:" "$scratch/build.log" || { cat "$scratch/build.log"; fail "the generated effect builds with warnings"; }

exported=$(nm -D --defined-only "$scratch/Probe/build/plugins/Probe.so" | awk '{print $3}')
[ "$exported" = plugMain ] || fail "Probe.so exports: $exported"

ctest --test-dir "$scratch/Probe/build" --output-on-failure >"$scratch/ctest.log" 2>&1 ||
  { cat "$scratch/ctest.log"; fail "the project's tests"; }
grep -q "validate_Probe .*Passed" "$scratch/ctest.log" || { cat "$scratch/ctest.log"; fail "no ffglhost validate run"; }
grep -q "ProbeTest.* Passed" "$scratch/ctest.log" || { cat "$scratch/ctest.log"; fail "no effect tests run"; }
"$prefix/bin/kx-new-effect" --filter --standalone "$scratch/Sieve" Sieve >/dev/null
cmake -S "$scratch/Sieve" -B "$scratch/Sieve/build" -DCMAKE_PREFIX_PATH="$prefix" "${settings[@]}" \
  >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; fail "configuring the filter against the kit"; }
cmake --build "$scratch/Sieve/build" -j 2 >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "building the filter"; }
! grep -q "warning:" "$scratch/build.log" || { cat "$scratch/build.log"; fail "the generated filter builds with warnings"; }
ctest --test-dir "$scratch/Sieve/build" --output-on-failure >"$scratch/ctest.log" 2>&1 ||
  { cat "$scratch/ctest.log"; fail "the filter's tests"; }
grep -q "SieveTest.* Passed" "$scratch/ctest.log" || { cat "$scratch/ctest.log"; fail "no filter tests run"; }
echo "installed kit: Probe and the filter Sieve built outside the tree, Probe exports plugMain alone, tests and validate pass"

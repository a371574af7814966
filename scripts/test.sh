#!/usr/bin/env bash
# Sets up (installs missing packages, builds) and runs every test.
#
#   scripts/test.sh                     release build, all tests
#   scripts/test.sh --sanitize          the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh --i386              the 32-bit x86 build (build-i386/), all tests, plus its
#                                       comparison with the 64-bit build (built first in build/)
#   scripts/test.sh --i386 --sanitize   the 32-bit build under the sanitizers (build-i386-asan/)
#   scripts/test.sh -L drivers          (any further ctest arguments) e.g. only the driver matrix
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
setup_args=()
ctest_args=()
i386=0
sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1; setup_args+=("$arg") ;;
    --i386) i386=1; setup_args+=("$arg") ;;
    *) ctest_args+=("$arg") ;;
  esac
done
if [ "$sanitize" -eq 1 ]; then
  build_dir=build-asan
  # Any sanitizer report fails the run. The GL driver's own allocations are not ours to fix.
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:exitcode=23:intercept_tls_get_addr=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
fi
if [ "$i386" -eq 1 ]; then
  build_dir=build-i386
  [ "$sanitize" -eq 0 ] || build_dir=build-i386-asan
  # The 32-bit tests run the 64-bit host and plug-ins beside their own.
  bash scripts/setup.sh
fi

bash scripts/setup.sh "${setup_args[@]}"
echo "==> Running tests in $build_dir"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "${ctest_args[@]}"

#!/usr/bin/env bash
# Sets up (installs missing packages, builds) and runs every test.
#
#   scripts/test.sh              release build, all tests
#   scripts/test.sh --sanitize   the same under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  # Any sanitizer report fails the run. The GL driver's own allocations are not ours to fix.
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:exitcode=23:intercept_tls_get_addr=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
fi

bash scripts/setup.sh "$@"
echo "==> Running tests in $build_dir"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"

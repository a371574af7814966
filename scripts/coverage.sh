#!/usr/bin/env bash
# Line coverage of the framework and the host by the suite: builds build-coverage/ with gcc's
# --coverage (no optimisation), runs the suite there (all but the GL driver matrix and the
# developer's kit tests, which only repeat what the suite covers under other drivers and in other
# projects), and writes with gcovr (Debian package gcovr):
#
#   out/coverage/summary.txt   a table: lines covered per part (framework, effects, host, headless
#                              GL), then per file
#   out/coverage/index.html    the same with every file's lines marked, for people
#
#   scripts/coverage.sh [--no-tests]   --no-tests: only the report of what the last run left
#
# Code a worker process of ffglhost runs counts: workers end with exit(), which writes their
# counters like any process's.
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=1
for arg in "$@"; do
  case "$arg" in
    --no-tests) run_tests=0 ;;
    *) echo "coverage.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done

build=build-coverage
out=out/coverage
bash scripts/setup.sh --no-build
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! command -v gcovr >/dev/null; then
  echo "==> Installing gcovr"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends gcovr
fi

if [ "$run_tests" -eq 1 ]; then
  echo "==> Configuring and building $build with --coverage"
  flags="--coverage -O0 -g"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
    -DCMAKE_MODULE_LINKER_FLAGS=--coverage >/dev/null
  cmake --build "$build" -j "$(nproc)"
  # Counters from an earlier run would add to this one's.
  find "$build" -name '*.gcda' -delete
  echo "==> Running the suite in $build"
  ctest --test-dir "$build" -j "$(nproc)" -LE drivers -E '^devkit_' --output-on-failure >"$build/ctest.log" 2>&1 ||
    { tail -n 40 "$build/ctest.log" >&2; echo "coverage.sh: the suite failed in $build (log: $build/ctest.log)" >&2; exit 1; }
  grep -E 'tests passed' "$build/ctest.log"
fi

mkdir -p "$out"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx-coverage.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Each part's lines: "<covered> <total>", from gcovr's summary of the files below its folders.
part() {
  local name=$1
  shift
  local filters=()
  for f in "$@"; do filters+=(--filter "$f"); done
  # gcovr replaces the file it writes, so its report goes to a scratch file (never /dev/null).
  gcovr -r . --object-directory "$build" "${filters[@]}" --exclude '.*/tests?/.*' --print-summary \
    -o "$scratch/part.txt" 2>/dev/null | awk -v n="$name" '/^lines:/ { gsub(/[()]/, ""); printf "| %-10s | %8s | %6s of %6s |\n", n, $2, $3, $6 }'
}
{
  echo "Line coverage by the suite ($(git rev-parse --short HEAD 2>/dev/null || echo tree), $(date -u +%Y-%m-%d))"
  echo
  echo "| part       | lines    | covered of total |"
  echo "|------------|----------|------------------|"
  part framework 'common/kxapi/' 'Source/Common/'
  part effects 'Source/FFGLPlugins/'
  part host 'tools/ffglhost/'
  part headless 'tools/headless/'
  echo
  gcovr -r . --object-directory "$build" --filter 'common/kxapi/' --filter 'Source/' --filter 'tools/' \
    --exclude '.*/tests?/.*' --sort-percentage 2>/dev/null
} >"$out/summary.txt"
gcovr -r . --object-directory "$build" --filter 'common/kxapi/' --filter 'Source/' --filter 'tools/' \
  --exclude '.*/tests?/.*' --html-details "$out/index.html" 2>/dev/null
sed -n '1,9p' "$out/summary.txt"
echo "==> $out/summary.txt (every file) and $out/index.html (every line)"

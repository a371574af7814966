#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer; build-fuzz/)
# and runs each for a bounded time from the seed corpus in fuzz/corpus/. The seeds are copied to
# a temporary folder first, so the inputs a run discovers never land in the repository. Targets
# run side by side, as many at a time as there are cores. A crash, sanitizer report, leak or
# timeout fails the script; the offending input is kept in fuzz-findings/ (and named in the log).
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]
#
# SECONDS defaults to 60 per target; TARGET is a name such as fuzz_plugmain_Quorus or
# fuzz_param_xml (default: all). FUZZ_JOBS overrides the number of targets run at once.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-60}
shift || true

bash scripts/setup.sh --fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build-fuzz/fuzz_*; do
    [ -x "$exe" ] && targets+=("$(basename "$exe")")
  done
fi

# Reports stop the run; the GL driver's own process-lifetime allocations are not ours to fix.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz-findings

corpus_of() {
  case "$1" in
    fuzz_plugmain_*) echo plugmain ;;
    *) echo "${1#fuzz_}" ;;
  esac
}

run_target() {
  local t=$1 corpus extra=()
  corpus=$(corpus_of "$t")
  mkdir -p "$work/$t"
  cp fuzz/corpus/"$corpus"/* "$work/$t"/
  case "$t" in
    # The GL driver keeps caches that grow during an input, which would make libFuzzer run a
    # full leak check after almost every input (four times slower). Leaks are still checked
    # once at exit, where any leak from our code fails the run (without a reduced input).
    fuzz_plugmain_*) extra+=(-detect_leaks=0) ;;
  esac
  # -close_fd_mask=1: the plug-ins' diagnostic lines on standard output are not wanted here.
  "build-fuzz/$t" "$work/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -max_len=4096 -close_fd_mask=1 -print_final_stats=1 "${extra[@]}" \
    -artifact_prefix="$root/fuzz-findings/$t-" >"$work/$t.log" 2>&1
}

jobs_at_once=${FUZZ_JOBS:-$(nproc)}
pids=()
names=()
for t in "${targets[@]}"; do
  if [ ! -x "build-fuzz/$t" ]; then
    echo "fuzz.sh: no fuzz target build-fuzz/$t" >&2
    exit 2
  fi
  echo "==> Fuzzing $t for ${seconds}s from fuzz/corpus/$(corpus_of "$t")/"
  run_target "$t" &
  pids+=($!)
  names+=("$t")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do sleep 1; done
done

failed=0
for i in "${!pids[@]}"; do
  t=${names[$i]}
  if wait "${pids[$i]}"; then
    # The summary lines: executions, speed, coverage and corpus at the end of the run.
    grep -E '^#[0-9]+.*DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
      "$work/$t.log" | sed "s/^/    $t: /"
  else
    failed=1
    echo "==> $t FAILED; its log:" >&2
    tail -n 60 "$work/$t.log" >&2
  fi
done
[ "$failed" -eq 0 ] && echo "==> Fuzzing passed: ${#targets[@]} targets, ${seconds}s each"
exit "$failed"

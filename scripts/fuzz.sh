#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer; build-fuzz/)
# and runs them, in one of three ways:
#
#   scripts/fuzz.sh --gate [TARGET...]       what CI runs: every input in fuzz/regressions/ once,
#                                            then each target for a fixed number of inputs from a
#                                            fixed seed, starting from the seed corpus. The same
#                                            commit always runs the same inputs.
#   scripts/fuzz.sh [SECONDS [TARGET...]]    a time-boxed random campaign from the seed corpus
#                                            (default 60 s per target), for people and long runs
#   scripts/fuzz.sh --keep TARGET FILE...    files a failing input in the regression corpus
#                                            (fuzz/regressions/CORPUS/SHA1), where the gate
#                                            replays it from then on
#
# TARGET is a name such as fuzz_plugmain_Quorus or fuzz_param_xml (default: all). Seeds live in
# fuzz/corpus/CORPUS/ and regressions in fuzz/regressions/CORPUS/, where CORPUS is "plugmain" for
# every fuzz_plugmain_NAME and the name without "fuzz_" otherwise. Runs work on a temporary
# folder, so the inputs they discover never land in the repository. Targets run side by side, as
# many at a time as there are cores (FUZZ_JOBS overrides). A crash, sanitizer report, leak or
# timeout fails the script; the offending input is kept in fuzz-findings/ (and named in the log).
#
# Gate settings: FUZZ_GATE_SEED (default 1), FUZZ_GATE_RUNS_PLUGMAIN and FUZZ_GATE_RUNS_PARAM_XML
# (inputs per target; defaults below, chosen so that the whole gate, the clang build included,
# takes about four minutes on a 2-core machine).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

gate_seed=${FUZZ_GATE_SEED:-1}
gate_runs_plugmain=${FUZZ_GATE_RUNS_PLUGMAIN:-8000}
gate_runs_param_xml=${FUZZ_GATE_RUNS_PARAM_XML:-800000}

mode=campaign
case "${1:-}" in
  --gate) mode=gate; shift ;;
  --keep) mode=keep; shift ;;
esac

corpus_of() {
  case "$1" in
    fuzz_plugmain_*) echo plugmain ;;
    *) echo "${1#fuzz_}" ;;
  esac
}

if [ "$mode" = keep ]; then
  if [ $# -lt 2 ]; then
    echo "usage: scripts/fuzz.sh --keep TARGET FILE..." >&2
    exit 2
  fi
  dir="fuzz/regressions/$(corpus_of "$1")"
  shift
  mkdir -p "$dir"
  for f in "$@"; do
    sum=$(sha1sum <"$f" | cut -c1-40)
    cp "$f" "$dir/$sum"
    echo "==> $f kept as $dir/$sum (git add it)"
  done
  exit 0
fi

seconds=60
if [ "$mode" = campaign ]; then
  seconds=${1:-60}
  shift || true
fi

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

# The gate runs the targets with the address layout fixed: pointer values steer some branches and
# mutations, and they must not differ between runs.
fixed_layout=()
if [ "$mode" = gate ]; then
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    fixed_layout=(setarch "$(uname -m)" -R)
  else
    echo "fuzz.sh: setarch -R is refused here; the gate runs with a random address layout" >&2
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz-findings

gate_runs_of() {
  case "$(corpus_of "$1")" in
    plugmain) echo "$gate_runs_plugmain" ;;
    param_xml) echo "$gate_runs_param_xml" ;;
    *) echo 10000 ;;
  esac
}

# Runs one target in its own folder under $work, where every path it is given has the same name
# whatever the run: the names end up in libFuzzer's own memory, and addresses steer some of the
# coverage (which of two pointer comparisons decides), so folder names of another length would make
# a fixed-seed run try other inputs. Inputs that fail are copied to fuzz-findings/TARGET-NAME.
run_target() {
  local t=$1 corpus dir extra=() limit=() status=0
  corpus=$(corpus_of "$t")
  dir="$work/$t"
  mkdir -p "$dir/new" "$dir/findings"
  ln -s "$root/build-fuzz/$t" "$dir/fuzzer"
  ln -s "$root/fuzz/corpus/$corpus" "$dir/seeds"
  case "$t" in
    # The GL driver keeps caches that grow during an input, which would make libFuzzer run a
    # full leak check after almost every input (four times slower). Leaks are still checked
    # once at exit, where any leak from our code fails the run (without a reduced input).
    fuzz_plugmain_*) extra+=(-detect_leaks=0) ;;
  esac
  if [ "$mode" = gate ]; then
    # Every input that ever failed, once each (the folder may be missing or empty).
    local kept=()
    if [ -d "fuzz/regressions/$corpus" ]; then
      mapfile -t kept < <(find "$root/fuzz/regressions/$corpus" -type f | sort)
    fi
    if [ ${#kept[@]} -gt 0 ]; then
      (cd "$dir" && "${fixed_layout[@]}" ./fuzzer -close_fd_mask=1 -timeout=30 \
         -rss_limit_mb=4096 "${extra[@]}" -artifact_prefix=findings/ "${kept[@]}") \
        >"$work/$t.log" 2>&1 || status=1
      [ "$status" -eq 0 ] && echo "regressions replayed: ${#kept[@]}" >>"$work/$t.log"
    fi
    # Nothing may steer the inputs but the seed and the coverage:
    # -reload=0: libFuzzer would otherwise read its output folder again every second and run what
    #   it finds there that is no longer in its corpus (inputs it has since reduced), at moments
    #   that depend on the machine's speed;
    # -use_cmp=0: compared values feed the mutations, among them addresses and the GL driver
    #   threads' own comparisons (in whatever order the threads ran).
    limit=(-runs="$(gate_runs_of "$t")" -seed="$gate_seed" -reload=0 -use_cmp=0)
  else
    limit=(-max_total_time="$seconds")
  fi
  # New inputs go to the empty first folder; the seeds are only read. -close_fd_mask=1: the
  # plug-ins' diagnostic lines on standard output are not wanted here.
  if [ "$status" -eq 0 ]; then
    (cd "$dir" && "${fixed_layout[@]}" ./fuzzer new seeds "${limit[@]}" -timeout=10 \
       -rss_limit_mb=4096 -max_len=4096 -close_fd_mask=1 -print_final_stats=1 "${extra[@]}" \
       -artifact_prefix=findings/) >>"$work/$t.log" 2>&1 || status=1
  fi
  for f in "$dir"/findings/*; do
    [ -e "$f" ] && cp "$f" "$root/fuzz-findings/$t-$(basename "$f")"
  done
  return "$status"
}

jobs_at_once=${FUZZ_JOBS:-$(nproc)}
pids=()
names=()
started=$SECONDS
for t in "${targets[@]}"; do
  if [ ! -x "build-fuzz/$t" ]; then
    echo "fuzz.sh: no fuzz target build-fuzz/$t" >&2
    exit 2
  fi
  if [ "$mode" = gate ]; then
    echo "==> Fuzzing $t: fuzz/regressions/$(corpus_of "$t")/, then $(gate_runs_of "$t") inputs from seed $gate_seed"
  else
    echo "==> Fuzzing $t for ${seconds}s from fuzz/corpus/$(corpus_of "$t")/"
  fi
  run_target "$t" &
  pids+=($!)
  names+=("$t")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do sleep 1; done
done

failed=0
for i in "${!pids[@]}"; do
  t=${names[$i]}
  if wait "${pids[$i]}"; then
    # The summary lines: regressions, executions, speed, coverage and corpus at the end.
    grep -E '^regressions replayed|^#[0-9]+.*DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
      "$work/$t.log" | sed "s/^/    $t: /"
  else
    failed=1
    echo "==> $t FAILED; its log:" >&2
    tail -n 60 "$work/$t.log" >&2
  fi
done
if [ "$failed" -eq 0 ]; then
  if [ "$mode" = gate ]; then
    echo "==> Fuzz gate passed: ${#targets[@]} targets in $((SECONDS - started))s"
  else
    echo "==> Fuzzing passed: ${#targets[@]} targets, ${seconds}s each"
  fi
fi
exit "$failed"

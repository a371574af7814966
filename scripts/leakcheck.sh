#!/usr/bin/env bash
# Leak check: runs the stress host (build/ffgl_stress) against every plug-in in build/plugins/
# under valgrind's memcheck. Any definite or indirect leak, or any memory error, fails the run.
# Leaks that the GL driver makes on its own are suppressed (tests/stress/valgrind.supp says
# which and why).
#
#   scripts/leakcheck.sh [CYCLES]
#
# CYCLES create-render-destroy cycles (default 30, the short form CI runs), then 8 instances
# rendering in turn and the parameter flood, with small frames and few particles: valgrind on
# top of llvmpipe is some fifty times slower than a plain run. The long form, by hand:
#   bash scripts/leakcheck.sh 1000
# The extremes phase is left to the plain and sanitizer runs of ffgl_stress (ctest), where it
# costs a second instead of minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${1:-30}

bash scripts/setup.sh

# Arguments per plug-in: what keeps its heaviest frames cheap enough for valgrind.
plugin_args() {
  case "$1" in
    Quorus) echo "--set Particles=0.1 --cap Particles=0.1" ;;
  esac
}

log=$(mktemp)
out=$(mktemp)
trap 'rm -f "$log" "$out"' EXIT
status=0
for so in build/plugins/*.so; do
  name=$(basename "$so" .so)
  echo "==> valgrind memcheck: ffgl_stress $name, $cycles cycles"
  set +e
  # shellcheck disable=SC2046
  valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --error-exitcode=3 --keep-debuginfo=yes --num-callers=40 \
    --suppressions=tests/stress/valgrind.supp --log-file="$log" \
    ./build/ffgl_stress "$so" --cycles "$cycles" --instances 8 --rounds 2 --size 32 \
    --max-size 256 --skip extremes $(plugin_args "$name") >"$out" 2>&1
  rc=$?
  set -e
  grep -v '^KXFFGLPlugin::InitGL' "$out" || true
  # The leak and error summary of the run.
  sed -n '/LEAK SUMMARY/,/suppressed:/p;/ERROR SUMMARY/p' "$log" | sed 's/^==[0-9]*== /    /'
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "==> $name FAILED under valgrind (exit status $rc); the errors and leaks:" >&2
    # Every record before the heap summary (memory errors), and the definite and indirect
    # leak records; the driver's "possibly lost" blocks are left out.
    awk '/HEAP SUMMARY/ { heap = 1 }
         /^==[0-9]+== *$/ { if (!heap || keep) printf "%s", rec; rec = ""; keep = 0; next }
         { rec = rec $0 "\n"; if (/(definitely|indirectly) lost in loss record/) keep = 1 }
         END { if (!heap || keep) printf "%s", rec }' "$log" >&2
  fi
done
[ "$status" -eq 0 ] && echo "==> Leak check passed"
exit "$status"

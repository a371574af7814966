#!/usr/bin/env bash
# CI's check of what effect developers get, after scripts/test.sh has built build/:
#
#   packages  scripts/package.sh, then both packages installed with apt on this machine; the
#             installed ffglhost renders the installed Quorus, kx-new-effect makes a standalone
#             effect that builds against the installed kit, passes its tests and ffglhost
#             validate, and packs itself with cpack, and a standalone filter (--filter) that
#             builds and passes its tests. Whatever the install brought in is purged again at the
#             end, also after a failure. Needs root or sudo; refuses to run where quorus or
#             libkx-dev are installed already (it would remove them).
#   scaffold  scripts/new-effect.sh in a scratch copy of the tree (never in this one): a new
#             generator and a new filter build with the host, and each passes ffglhost validate,
#             the stress run, its own tests and its reference case.
#
#   scripts/check-devkit.sh [packages] [scaffold]     both when none is named
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(packages scaffold)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx-devkit-check.XXXXXX")
cleanups=()
cleanup() {
  local i
  for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[i]}" || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

installed_packages() { dpkg-query -W -f='${Package}\t${Status}\n' | awk -F'\t' '$2 ~ /installed$/ {print $1}' | sort; }

check_packages() {
  for p in quorus libkx-dev; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "check-devkit.sh: $p is installed on this machine already; remove it first (this check removes what it installs)" >&2
      exit 2
    fi
  done
  bash scripts/package.sh
  installed_packages >"$scratch/before"
  cleanups+=("purge_new_packages")
  echo "==> Installing the packages"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "$root"/out/packages/quorus_*.deb "$root"/out/packages/libkx-dev_*.deb >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; exit 1; }

  echo "==> The installed ffglhost renders the installed Quorus"
  /usr/bin/ffglhost render /usr/lib/ffgl/Quorus.so --size 160x90 --frames 10 --out "$scratch/quorus.png" | grep '^wrote'
  [ -s "$scratch/quorus.png" ]

  echo "==> A standalone effect against the installed kit"
  /usr/bin/kx-new-effect --standalone "$scratch/Spinner" Spinner
  cmake -S "$scratch/Spinner" -B "$scratch/Spinner/build" -G Ninja >/dev/null
  grep -q '^KX_FFGLHOST:FILEPATH=/usr/bin/ffglhost$' "$scratch/Spinner/build/CMakeCache.txt"
  cmake --build "$scratch/Spinner/build" -j "$(nproc)" >/dev/null
  ctest --test-dir "$scratch/Spinner/build" --output-on-failure | tail -n 3
  (cd "$scratch/Spinner/build" && cpack >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; exit 1; }
  dpkg-deb -c "$scratch"/Spinner/build/ffgl-spinner_*.deb | grep -q './usr/lib/ffgl/Spinner.so$'
  echo "    packed $(basename "$scratch"/Spinner/build/ffgl-spinner_*.deb)"

  echo "==> A standalone filter against the installed kit"
  /usr/bin/kx-new-effect --filter --standalone "$scratch/Tinter" Tinter
  cmake -S "$scratch/Tinter" -B "$scratch/Tinter/build" -G Ninja >/dev/null
  cmake --build "$scratch/Tinter/build" -j "$(nproc)" >/dev/null
  ctest --test-dir "$scratch/Tinter/build" --output-on-failure | tail -n 3
}

purge_new_packages() {
  installed_packages >"$scratch/after"
  mapfile -t added < <(comm -13 "$scratch/before" "$scratch/after")
  if [ ${#added[@]} -gt 0 ]; then
    echo "==> Removing what the check installed: ${added[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq "${added[@]}" >/dev/null
  fi
}

check_scaffold() {
  echo "==> A new effect in a scratch copy of the tree"
  local tree=$scratch/tree
  mkdir "$tree"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | tar -cf - --null -T - | tar -xf - -C "$tree"
  else
    tar -cf - --exclude='./build*' --exclude=./out --exclude=./fuzz-findings . | tar -xf - -C "$tree"
  fi
  cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  bash "$tree/scripts/new-effect.sh" Spinner
  # A filter's reference case has the host's test card as its input.
  bash "$tree/scripts/new-effect.sh" --filter Tinter
  grep -qE '^tinter-card +Tinter +.* in:pattern:card ' "$tree/tests/reference/cases.txt"
  cmake --build "$tree/build" -j "$(nproc)" --target test_spinner test_tinter test_reference_frames ffgl_stress >/dev/null
  # Every test of the new effects; the reference list check wants every plug-in built, which
  # this partial build leaves out.
  local effect
  for effect in Spinner Tinter; do
    local tests="$effect|${effect,,}"
    ctest --test-dir "$tree/build" --output-on-failure -R "$tests" | tail -n 3
    [ "$(ctest --test-dir "$tree/build" -N -R "$tests" | grep -c 'Test *#')" -ge 6 ]
  done
}

for stage in "${stages[@]}"; do
  case "$stage" in
    packages) check_packages ;;
    scaffold) check_scaffold ;;
    *) echo "check-devkit.sh: unknown stage '$stage' (packages, scaffold)" >&2; exit 2 ;;
  esac
done
echo "==> Effect developer's kit checked: ${stages[*]}"

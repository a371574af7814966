#!/usr/bin/env bash
# scripts/new-effect.sh in a scratch copy of the source tree: names it must refuse (one line, exit
# status 2, nothing written), a new effect's files, reference case and unique ID (never one in
# use, even when the ID it would derive is taken), a filter's, and standalone projects. Builds
# nothing.
#
#   new_effect.sh SOURCE_DIR
set -euo pipefail
src=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kx-new-effect.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
tree=$scratch/tree
mkdir "$tree"
(cd "$src" && tar -cf - CMakeLists.txt cmake scripts templates Source tests tools bench fuzz) | tar -xf - -C "$tree"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
snapshot() { (cd "$tree" && find . -type f -print0 | sort -z | xargs -0 md5sum) >"$1"; }

# Each refused: exit status 2, exactly one line on standard error, no file changed.
snapshot "$scratch/before"
refused() { # reason, arguments...
  local reason=$1 status=0
  shift
  "$tree/scripts/new-effect.sh" --no-build "$@" >"$scratch/out" 2>"$scratch/err" || status=$?
  [ "$status" -eq 2 ] || fail "$reason ($*): exit status $status, expected 2"
  [ "$(wc -l <"$scratch/err")" -eq 1 ] || fail "$reason ($*): expected one line, got: $(cat "$scratch/err")"
  snapshot "$scratch/after"
  cmp -s "$scratch/before" "$scratch/after" || fail "$reason ($*): files changed"
}
refused "starts with a digit" 9Lives
refused "not an identifier" my-effect
refused "not an identifier" 'Glow;rm'
refused "empty" ''
refused "keyword" class
refused "reserved" __Glow
refused "reserved" _Glow
refused "longer than an FFGL name" ABCDEFGHIJKLMNOPQ
refused "framework prefix" KXGlow
refused "library name" std
refused "existing effect" Quorus
refused "existing effect in another case" afterGLOW
refused "existing test plug-in target" ClearGen
refused "its test program exists" Quorus_field
refused "CMake's own target" install
refused "two names" Glow Other
refused "unknown option" --fast Glow

# A new effect.
"$tree/scripts/new-effect.sh" --no-build Glow >/dev/null
for f in Glow.h Glow.cpp test_glow.cpp CMakeLists.txt; do
  [ -f "$tree/Source/FFGLPlugins/Glow/$f" ] || fail "Glow/$f not written"
done
! grep -rq "@[A-Z]*@" "$tree/Source/FFGLPlugins/Glow" || fail "placeholders left in Glow/"
[ "$(grep -c '^glow-still  *Glow  ' "$tree/tests/reference/cases.txt")" -eq 1 ] || fail "no reference case glow-still"
snapshot "$scratch/before"
refused "made just now" Glow
refused "made just now, as a filter" --filter Glow

# A new filter: an effect with one input, whose reference case has the host's test card as input.
"$tree/scripts/new-effect.sh" --no-build --filter Tint >/dev/null
! grep -rq "@[A-Z_]*@" "$tree/Source/FFGLPlugins/Tint" || fail "placeholders left in Tint/"
grep -q 'FF_EFFECT' "$tree/Source/FFGLPlugins/Tint/Tint.cpp" || fail "Tint is not an effect"
grep -q 'new KXFFGLPlugin(app.release(), 1, 1)' "$tree/Source/FFGLPlugins/Tint/Tint.cpp" || fail "Tint takes no input"
grep -q 'inputTextures\[0\]' "$tree/Source/FFGLPlugins/Tint/Tint.cpp" || fail "Tint does not read its input"
grep -qE '^tint-card +Tint +[0-9]+x[0-9]+ +[0-9]+ +[0-9]+ +in:pattern:card +[^ ]' "$tree/tests/reference/cases.txt" ||
  fail "no reference case tint-card with the test card as its input"

# The ID a name derives is skipped when another registration record in the tree has it.
id_of() { grep -oE 'createInstance, "[A-Z0-9]{4}"' "$1" | grep -oE '[A-Z0-9]{4}'; }
"$tree/scripts/new-effect.sh" --standalone "$scratch/free" Glow2 >/dev/null
free_id=$(id_of "$scratch/free/Glow2.cpp")
mkdir "$tree/Source/FFGLPlugins/Taken"
printf 'static CFFGLPluginInfo PluginInfo(make, "%s", "Taken",\n' "$free_id" >"$tree/Source/FFGLPlugins/Taken/Taken.cpp"
"$tree/scripts/new-effect.sh" --no-build Glow2 >/dev/null
got_id=$(id_of "$tree/Source/FFGLPlugins/Glow2/Glow2.cpp")
[[ "$got_id" =~ ^[A-Z0-9]{4}$ && "$got_id" != "$free_id" ]] || fail "Glow2 got the ID '$got_id' (Taken has $free_id)"
for id in Q7K3 KXAG "$(id_of "$tree/Source/FFGLPlugins/Glow/Glow.cpp")"; do
  [ "$got_id" != "$id" ] || fail "Glow2 got the ID $id, which is in use"
done

# Standalone projects: a folder of their own, never one with files in it.
"$tree/scripts/new-effect.sh" --standalone "$scratch/alone" Spin >/dev/null
for f in Spin.h Spin.cpp test_spin.cpp CMakeLists.txt README.md; do
  [ -f "$scratch/alone/$f" ] || fail "standalone Spin/$f not written"
done
grep -q 'find_package(KX' "$scratch/alone/CMakeLists.txt" || fail "the standalone project does not find the kit"
out=$("$tree/scripts/new-effect.sh" --standalone "$scratch/alone" Other 2>&1) && fail "wrote into a folder with files"
[ "$(wc -l <<<"$out")" -eq 1 ] || fail "expected one line refusing a full folder, got: $out"
[ ! -e "$scratch/alone/Other.cpp" ] || fail "wrote Other.cpp into a folder with files"
"$tree/scripts/new-effect.sh" --filter --standalone "$scratch/tone" Tone >/dev/null
! grep -rq "@[A-Z_]*@" "$scratch/tone" || fail "placeholders left in the standalone filter"
grep -q 'render build/plugins/Tone.so --input pattern:card' "$scratch/tone/README.md" ||
  fail "the standalone filter's README renders it without an input"

[ "$failures" -eq 0 ] || exit 1
echo "new-effect.sh: refusals, in-tree effect and filter, unique IDs and standalone projects as expected"

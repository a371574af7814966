#!/usr/bin/env bash
# Starts a new effect from the templates in templates/effect/: a small working generator (a
# turning pinwheel with the parameters Speed, Blades and Hue) or, with --filter, a small working
# filter (one input picture, tinted towards a hue and optionally mirrored: Hue, Amount, Mirror),
# with its registration record, a test that drives it through the FFGL adapter in a headless GL
# context (a filter's test feeds it input textures), and, in this tree, a reference-frame case.
#
#   scripts/new-effect.sh [--filter] [--no-build] NAME
#       adds Source/FFGLPlugins/NAME/ (NAME.h, NAME.cpp, test_<name>.cpp, CMakeLists.txt) and the
#       case <name>-still (a filter's: <name>-card, with the host's test card as its input) to
#       tests/reference/cases.txt, then builds ffglhost and the plug-in in build/ (all of
#       scripts/setup.sh when there is no build yet) and renders the case's reference pictures.
#       --no-build leaves both to you:
#       bash scripts/setup.sh && bash scripts/reference-frames.sh <case>
#   scripts/new-effect.sh [--filter] --standalone DIR NAME
#       the same effect as a project of its own in DIR (new or empty), built against the
#       installed KX kit (find_package(KX)). Installed with the kit as kx-new-effect, which only
#       makes standalone projects.
#
# NAME (a C++ identifier of at most 16 characters) becomes the plug-in's name, its folder, its
# CMake target and the namespace of its code; <name> is NAME in lower case. The four-character
# unique ID is derived from NAME and differs from every ID in this tree.
#
# Exit status: 0 done; 1 the build or the pictures failed (the effect is in place, the message
# says what to run); 2 refused (one line on standard error, nothing written).
set -euo pipefail

me=$(basename "$0")
here=$(cd "$(dirname "$0")" && pwd)
refuse() {
  echo "$me: $*" >&2
  exit 2
}

# Where the templates are: in the source tree, or installed with the kit.
root=""
if [ -d "$here/../templates/effect" ] && [ -f "$here/../CMakeLists.txt" ]; then
  root=$(cd "$here/.." && pwd)
  templates=$root/templates/effect
elif [ -d "$here/../share/kx/templates/effect" ]; then
  templates=$(cd "$here/../share/kx/templates/effect" && pwd)
else
  refuse "cannot find the effect templates (templates/effect beside scripts/, or share/kx/templates/effect)"
fi

usage="usage: $me [--filter] [--no-build] NAME  |  $me [--filter] --standalone DIR NAME"
standalone=""
build=1
kind=generator
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --standalone)
      [ $# -ge 2 ] || refuse "--standalone needs a folder; $usage"
      standalone=$2
      [ -n "$standalone" ] || refuse "--standalone needs a folder; $usage"
      shift 2
      ;;
    --no-build) build=0; shift ;;
    --filter) kind=filter; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) refuse "unknown option '$1'; $usage" ;;
    *) args+=("$1"); shift ;;
  esac
done
[ ${#args[@]} -eq 1 ] || refuse "expected one NAME; $usage"
name=${args[0]}
if [ -z "$standalone" ] && [ -z "$root" ]; then
  refuse "the installed kit only makes projects of their own: $me --standalone DIR NAME"
fi

# --- The name ------------------------------------------------------------------------------------

keywords=" alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
  char16_t char32_t class compl concept const consteval constexpr constinit const_cast continue
  co_await co_return co_yield decltype default delete do double dynamic_cast else enum explicit
  export extern false float for friend goto if inline int long mutable namespace new noexcept not
  not_eq nullptr operator or or_eq private protected public register reinterpret_cast requires
  return short signed sizeof static static_assert static_cast struct switch template this
  thread_local throw true try typedef typeid typename union unsigned using virtual void volatile
  wchar_t while xor xor_eq final override import module "
# Names the generated code cannot take as its namespace: the C++ library's, the framework's and
# the test fixture's global names, and what the template declares inside the namespace.
taken_globally=" std posix main plugMain testing kxhost GLTest Effect PluginInfo createInstance "
# Names CMake keeps for its own targets.
cmake_reserved=" all help install preinstall clean edit_cache rebuild_cache test package
  package_source zero_check all_build run_tests list_install_components "

in_list() { # word, list
  local w
  for w in $2; do
    [ "$w" = "$1" ] && return 0
  done
  return 1
}

[[ "$name" =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] ||
  refuse "'$name' is not a valid C++ identifier (letters, digits and _, not starting with a digit)"
! in_list "$name" "$keywords" || refuse "'$name' is a C++ keyword, not a valid identifier"
if [[ "$name" == *__* || "$name" =~ ^_[A-Z] ]]; then
  refuse "'$name' is reserved for the C++ implementation (no '__', no '_' before a capital)"
fi
[ ${#name} -le 16 ] || refuse "'$name' is longer than the 16 characters of an FFGL plug-in name"
! in_list "$name" "$taken_globally" || refuse "'$name' is already a name of the framework or the library"
if [[ "$name" =~ ^(KX|kx|FF|CFF|CFreeFrame|TiXml) ]]; then
  refuse "'$name' starts like the framework's own names (KX, kx, FF, CFF, CFreeFrame, TiXml)"
fi
lower=$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')
! in_list "$lower" "$cmake_reserved" || refuse "'$name' is a name CMake keeps for its own targets"
# What differs between a generator and a filter: its templates, its reference case (a filter's
# gets the host's test card as its input: an in: column before the settings), and its texts.
if [ "$kind" = filter ]; then
  sources=(Filter.h.in Filter.cpp.in test_filter.cpp.in)
  case_name=$lower-card
  case_columns="in:pattern:card   Amount=0.5"
  summary="a filter that tints its input picture towards a hue, with three parameters, Hue, Amount and Mirror"
  render_input=" --input pattern:card"
else
  sources=(Effect.h.in Effect.cpp.in test_effect.cpp.in)
  case_name=$lower-still
  case_columns="Speed=0"
  summary="a pinwheel of coloured blades with three parameters, Speed, Blades and Hue"
  render_input=""
fi
package_name=ffgl-$(printf '%s' "$lower" | tr '_' '-')

# --- Clashes with what exists --------------------------------------------------------------------

# Every name taken in this tree, in lower case: effect folders, CMake targets, test programs.
taken_in_tree() {
  ls -1 "$root/Source/FFGLPlugins"
  grep -rhoE --include=CMakeLists.txt --include='*.cmake' \
    '(add_library|add_executable|kx_add_host_test_plugin|kx_add_ffgl_plugin)\( *[A-Za-z0-9_.+-]+' \
    "$root/CMakeLists.txt" "$root/cmake" "$root/Source" "$root/tools" "$root/tests" "$root/bench" "$root/fuzz" \
    2>/dev/null | sed 's/.*( *//'
  find "$root/tests" "$root/Source" -name '*.cpp' -printf '%f\n' | sed 's/\.cpp$//'
}

if [ -n "$standalone" ]; then
  if [ -e "$standalone" ] && { [ ! -d "$standalone" ] || [ -n "$(ls -A "$standalone")" ]; }; then
    refuse "$standalone already exists and is not an empty folder"
  fi
else
  taken=$(taken_in_tree | tr '[:upper:]' '[:lower:]' | sort -u)
  if grep -qxF "$lower" <<<"$taken"; then
    refuse "'$name' already exists in this tree (an effect, a CMake target or a test of that name, in any case)"
  fi
  if grep -qxF "test_$lower" <<<"$taken"; then
    refuse "'$name' would need the test program test_$lower, which already exists"
  fi
  if awk '{print tolower($1)}' "$root/tests/reference/cases.txt" | grep -qxF "$case_name"; then
    refuse "tests/reference/cases.txt already has a case $case_name"
  fi
fi

# --- The unique ID -------------------------------------------------------------------------------

# IDs in use: ours (also for standalone projects, which may be loaded beside them) and every
# registration record in this tree.
known_ids=" Q7K3 KXAG KXKS "
if [ -n "$root" ]; then
  for id in $(grep -rhA2 'CFFGLPluginInfo [A-Za-z_]*(' "$root/Source/FFGLPlugins" --include='*.cpp' 2>/dev/null |
    grep -oE '"[A-Za-z0-9]{4}"' | tr -d '"'); do
    known_ids+="$id "
  done
fi
digits=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ
first=$(printf '%s' "${name//_/}" | cut -c1 | tr '[:lower:]' '[:upper:]')
[ -n "$first" ] || first=X
uid=""
for salt in $(seq 0 999); do
  n=$(( $(printf '%s:%d' "$name" "$salt" | cksum | cut -d' ' -f1) % (36 * 36 * 36) ))
  candidate=$first${digits:$((n / 1296)):1}${digits:$((n / 36 % 36)):1}${digits:$((n % 36)):1}
  if ! in_list "$candidate" "$known_ids"; then
    uid=$candidate
    break
  fi
done
[ -n "$uid" ] || refuse "no free unique ID found for '$name'"

# --- Writing the files ---------------------------------------------------------------------------

scratch=$(mktemp -d "${TMPDIR:-/tmp}/new-effect.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fill() { # template, output
  sed -e "s/@NAME@/$name/g" -e "s/@LOWER@/$lower/g" -e "s/@ID@/$uid/g" -e "s/@PACKAGE@/$package_name/g" \
    -e "s/@KIND@/$kind/g" -e "s/@SUMMARY@/$summary/g" -e "s/@RENDER_INPUT@/$render_input/g" "$1" >"$2"
}
fill "$templates/${sources[0]}" "$scratch/$name.h"
fill "$templates/${sources[1]}" "$scratch/$name.cpp"
fill "$templates/${sources[2]}" "$scratch/test_$lower.cpp"

if [ -n "$standalone" ]; then
  fill "$templates/standalone/CMakeLists.txt.in" "$scratch/CMakeLists.txt"
  fill "$templates/standalone/README.md.in" "$scratch/README.md"
  printf '/build/\n' >"$scratch/.gitignore"
  mkdir -p "$standalone"
  cp -R "$scratch/." "$standalone/"
  echo "==> $standalone: the $name $kind (ID $uid) as a project of its own"
  echo "    cd $standalone && cmake -S . -B build && cmake --build build && ctest --test-dir build"
  exit 0
fi

fill "$templates/CMakeLists.txt.in" "$scratch/CMakeLists.txt"
target=$root/Source/FFGLPlugins/$name
mkdir "$target"
cp -R "$scratch/." "$target/"
printf '%-16s %-8s 160x90   1   1   %s\n' "$case_name" "$name" "$case_columns" >>"$root/tests/reference/cases.txt"
echo "==> Added the $kind Source/FFGLPlugins/$name (ID $uid), its test test_$lower and the reference case $case_name"

[ "$build" -eq 1 ] || {
  echo "    next: bash scripts/setup.sh && bash scripts/reference-frames.sh $case_name && bash scripts/test.sh"
  exit 0
}
cd "$root"
failed() {
  echo "$me: $* failed; the effect is in place. Fix it, then: bash scripts/setup.sh && bash scripts/reference-frames.sh $case_name" >&2
  exit 1
}
if [ -f build/CMakeCache.txt ]; then
  echo "==> Building ffglhost and $name in build/"
  cmake --build build -j "$(nproc)" --target ffglhost "$name" || failed "building $name"
else
  bash scripts/setup.sh || failed "building"
fi
echo "==> Rendering the reference pictures of $case_name"
bash scripts/reference-frames.sh "$case_name" || failed "rendering the reference pictures"
echo "==> Done: build/plugins/$name.so. Next: bash scripts/test.sh"

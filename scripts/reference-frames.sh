#!/usr/bin/env bash
# Renders the reference pictures listed in tests/reference/cases.txt into tests/reference/<case>/
# with the built host and plug-ins (run scripts/setup.sh first). Only for a picture that is meant
# to change: the reference test compares every later build against these files.
#
#   scripts/reference-frames.sh [CASE...]     all cases, or only those named
#   FFGLHOST=path PLUGIN_DIR=path scripts/reference-frames.sh   another host or plug-in build
set -euo pipefail
cd "$(dirname "$0")/.."

host=${FFGLHOST:-build/ffglhost}
plugins=${PLUGIN_DIR:-build/plugins}
wanted=" $* "

while read -r name plugin size frames every settings; do
  case "$name" in ''|'#'*) continue ;; esac
  if [ $# -gt 0 ] && [[ "$wanted" != *" $name "* ]]; then continue; fi
  args=(render "$plugins/$plugin.so" --size "$size" --frames "$frames" --every "$every")
  # in:SOURCE words before the settings are the plug-in's inputs (files relative to the repository).
  while [[ "${settings:-}" == in:* ]]; do
    source=${settings%%[[:space:]]*}
    source=${source#in:}
    args+=(--input "$source")
    settings=${settings#in:"$source"}
    settings=${settings#"${settings%%[![:space:]]*}"}
  done
  if [ -n "${settings:-}" ]; then
    IFS=';' read -ra pairs <<<"$settings"
    for pair in "${pairs[@]}"; do args+=(--set "$pair"); done
  fi
  out=tests/reference/$name
  rm -rf "$out"
  echo "==> $name"
  "$host" "${args[@]}" --out "$out" | grep -E '^(rendered|wrote)'
done <tests/reference/cases.txt

#!/usr/bin/env bash
# Checks every link and picture in the README and the guides: a relative target must exist in the
# repository, and a #fragment must name a heading of the page it points to (GitHub's heading
# anchors: lower case, punctuation dropped, spaces as hyphens, -1, -2, ... after repeats). Links
# inside code (fenced blocks, `spans`) are not links. Web addresses are not fetched.
#
#   scripts/check-doc-links.sh [FILE.md...]     default: README.md and docs/*.md
#
# Prints one line per dead link and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

files=("$@")
[ ${#files[@]} -gt 0 ] || files=(README.md docs/*.md)

# The text of a Markdown file outside fenced code blocks, with inline code spans removed.
prose() {
  awk '/^[[:space:]]*```/ { fenced = !fenced; next } !fenced' "$1" | sed 's/`[^`]*`//g'
}

# The anchors of a file's headings, one a line.
anchors() {
  prose "$1" | sed -n 's/^#\{1,6\}[[:space:]]\{1,\}//p' |
    tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g' |
    awk '{ n = seen[$0]++; print (n ? $0 "-" n : $0) }'
}

dead=0
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$f: no such file"; dead=1; continue; }
  dir=$(dirname "$f")
  while IFS= read -r target; do
    case "$target" in
      http://* | https://* | mailto:*) continue ;;
    esac
    path=${target%%#*}
    fragment=
    [ "$path" = "$target" ] || fragment=${target#*#}
    resolved=$f
    if [ -n "$path" ]; then
      resolved=$dir/$path
      if [ ! -e "$resolved" ]; then
        echo "$f: dead link ($target): $resolved does not exist"
        dead=1
        continue
      fi
    fi
    if [ -n "$fragment" ]; then
      if [ ! -f "$resolved" ] || ! anchors "$resolved" | grep -qxF -- "$fragment"; then
        echo "$f: dead link ($target): no heading #$fragment in $resolved"
        dead=1
      fi
    fi
  done < <(prose "$f" | grep -o '\]([^)[:space:]]*)' | sed 's/^](//; s/)$//')
done
[ "$dead" -eq 0 ] && echo "every link in ${#files[@]} file(s) resolves"
exit "$dead"

#!/usr/bin/env bash
# The include map in docs/architecture.md against the #include lines under src/: every folder
# (and main.cpp) includes from exactly the folders its line lists, no more and no fewer.
# Usage: architecture_map_test.sh SOURCE_ROOT
set -euo pipefail
root=${1:?usage: architecture_map_test.sh SOURCE_ROOT}
doc=$root/docs/architecture.md

# "FROM TO" for each item "- FROM → TO TO ..." between the map's markers; "FROM" alone for an
# item "- FROM" that includes from no other folder.
documented=$(awk '
  /<!-- include map -->/ { inside = 1; next }
  /<!-- end of include map -->/ { inside = 0 }
  inside && /^- / {
    line = substr($0, 3)
    gsub(/[`\/]|→/, " ", line)
    n = split(line, f, " ")
    if (n == 1) print f[1]
    for (i = 2; i <= n; i++) print f[1], f[i]
  }' "$doc" | sort -u)
[[ -n $documented ]] || { echo "no include map between the markers in $doc" >&2; exit 1; }

# The same pairs from the sources: the folder of each quoted include, when it is another one.
actual=$(cd "$root/src" && find . -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.in' \) | sort |
  while read -r file; do
    file=${file#./}
    from=${file%%/*}
    printf '%s\n' "$from"
    sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)/.*|\1|p' "$file" |
      while read -r to; do [[ $to == "$from" ]] || printf '%s %s\n' "$from" "$to"; done
  done | sort -u)

# A folder with includes of its own needs no line "FROM" alone.
only_edges() { awk 'NF == 2 { print; has[$1] = 1; next } { alone[$1] = 1 }
  END { for (f in alone) if (!(f in has)) print f }' | sort -u; }
documented=$(only_edges <<<"$documented")
actual=$(only_edges <<<"$actual")

if [[ $documented != "$actual" ]]; then
  echo "docs/architecture.md's include map differs from the #includes under src/" >&2
  echo "(< only in the map, > only in the sources):" >&2
  diff <(printf '%s\n' "$documented") <(printf '%s\n' "$actual") | grep '^[<>]' >&2
  exit 1
fi

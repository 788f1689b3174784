#!/usr/bin/env bash
# scripts/template_sets.py check: passes on the tree as committed, and fails when this
# version's templates change without a new recorded digest, or when a released set changes.
set -euo pipefail
root=${1:?usage: template_sets_test.sh SOURCE_DIR}
python3 "$root/scripts/template_sets.py" check

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts"
cp "$root/scripts/template_sets.py" "$work/scripts/"
cp "$root/CMakeLists.txt" "$root/CHANGELOG.md" "$work/"
cp -r "$root/templates" "$root/template-sets" "$work/"

expect_failure() {
  local what=$1
  if python3 "$work/scripts/template_sets.py" check 2>"$work/err"; then
    echo "check passed after: $what" >&2
    exit 1
  fi
  grep -q "$2" "$work/err" || { echo "unexpected message after $what:" >&2; cat "$work/err" >&2; exit 1; }
}

python3 "$work/scripts/template_sets.py" check
echo "# changed" >> "$work/templates/Makefile.tmpl"
expect_failure "a template changed" "templates/ differ from the recorded set"
cp "$root/templates/Makefile.tmpl" "$work/templates/Makefile.tmpl"
echo "# changed" >> "$work/template-sets/0.1.6/Makefile.tmpl"
expect_failure "a released set changed" "the released set 0.1.6 changed"
cp "$root/template-sets/0.1.6/Makefile.tmpl" "$work/template-sets/0.1.6/Makefile.tmpl"
sed -i 's/project(tarnwick VERSION [0-9.]*/project(tarnwick VERSION 9.9.9/' "$work/CMakeLists.txt"
expect_failure "a version without its set" "must be this version's set, 9.9.9"
expect_failure "a version without its changelog" "no \`## \[9.9.9\]\` section"
echo "template sets check: ok"

#!/usr/bin/env bash
# The tests that read the checkout see only the project: in a copy of the checkout planted with
# what a newcomer's work tree holds (the project that the README's `make run ARGS="new demo"`
# writes, a nested repository; an untracked folder; a stray file; an uncommitted edit), the
# release rehearsal's repository holds exactly the tracked files in their work-tree versions,
# `git status` shows nothing of the README's example project, and the other tests that take the
# checkout's root pass.
# Usage: planted_checkout_test.sh SOURCE_DIR
set -euo pipefail
root=$(cd "${1:?usage: planted_checkout_test.sh SOURCE_DIR}" && pwd)
tests=$root/tests
work=$(mktemp -d "${TMPDIR:-/tmp}/planted-checkout.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

checkout=$work/checkout
bash "$tests/rehearsal/tracked_tree.sh" "$root" "$checkout" "the checkout"
git init -q "$checkout/demo"
echo 'fn main() {}' >"$checkout/demo/main.rs"
git -C "$checkout/demo" add -A
git -C "$checkout/demo" -c user.name=n -c user.email=n@example.invalid commit -qm demo
mkdir -p "$checkout/scratch/deeper" "$checkout/build/debug"
echo notes >"$checkout/scratch/deeper/notes.txt"
echo stray >"$checkout/stray.txt"
echo built >"$checkout/build/debug/tarnwick"
echo "An edit not yet committed." >>"$checkout/README.md"

status=$(git -C "$checkout" status --porcelain --untracked-files=all)
grep -q '^?? demo/' <<<"$status" && fail "git status shows the README's example project: $status"
grep -q '^?? stray.txt$' <<<"$status" || fail "the planted stray file is not untracked: $status"

bash "$tests/rehearsal/tracked_tree.sh" "$checkout" "$work/repo" "rehearsed"
diff <(git -C "$checkout" ls-files) <(git -C "$work/repo" ls-files) >&2 ||
  fail "the rehearsal's repository is not the checkout's tracked files (< checkout, > repository)"
cmp -s "$checkout/README.md" "$work/repo/README.md" ||
  fail "the rehearsal's repository does not hold the work-tree version of an edited file"

bash "$tests/scripts/architecture_map_test.sh" "$checkout" || fail "architecture_map in the planted checkout"
bash "$tests/scripts/template_sets_test.sh" "$checkout" >/dev/null ||
  fail "template_sets in the planted checkout"
echo "planted checkout: ok"

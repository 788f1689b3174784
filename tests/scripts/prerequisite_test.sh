#!/usr/bin/env bash
# The long suites skip (77) on a machine without their tools, and fail (1) under CI=true, where
# a skip would pass unseen: each suite is started on a PATH that lacks its first prerequisite.
set -uo pipefail
source_dir=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/prerequisite-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The basic tools only: no cargo, rustup or ruby.
mkdir -p "$work/bin" "$work/home"
for tool in bash sh env dirname basename realpath readlink mkdir mktemp rm cat sed grep cut du \
  find flock git python3 tr true; do
  found=$(command -v "$tool") && ln -s "$found" "$work/bin/$tool"
done

# suite | its arguments | what it names as missing
cases=(
  "tests/acceptance/acceptance.sh|$source_dir/README.md $work/target $work/cargo-home $work/tools|cargo is not installed"
  "tests/rehearsal/rehearsal.sh|$source_dir/README.md $work/target $work/cargo-home $work/tools|cargo is not installed"
  "tests/rehearsal/own_release.sh|$source_dir $work/tools $work/own|is not installed"
)
mkdir -p "$work/tools"
for c in "${cases[@]}"; do
  IFS='|' read -r suite args missing <<<"$c"
  for ci in "" false true; do
    expected=77 said=SKIP
    [[ $ci == true ]] && expected=1 said=FAIL
    # shellcheck disable=SC2086 # the arguments are words without spaces
    out=$(env -i HOME="$work/home" PATH="$work/bin" CI="$ci" bash "$source_dir/$suite" $args 2>&1)
    status=$?
    [[ $status == "$expected" ]] || fail "$suite with CI='$ci': exit $status, not $expected: $out"
    [[ $out == *"$said: "*"$missing"* ]] || fail "$suite with CI='$ci' does not say '$said: … $missing': $out"
  done
done
((failures == 0)) || exit 1
echo "missing prerequisites: skipped, and failed under CI=true"

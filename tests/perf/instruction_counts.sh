#!/usr/bin/env bash
# Start-up cost in instructions, counted exactly by callgrind (wall time on a shared machine is
# not exact): each command of the shipped binary must stay under its ceiling. Only the
# tarnwick process itself is counted, not a child it starts (valgrind writes one file per pid).
# Usage: instruction_counts.sh   with TARNWICK_BIN naming the release binary (the counts are
# for it: static C++ runtime, no PIE); without it, or without valgrind, the test is skipped.
set -euo pipefail
bin=${TARNWICK_BIN:-}
if [[ -z "$bin" || ! -x "$bin" ]]; then
  echo "instruction counts are measured on the release binary: set TARNWICK_BIN (make test-release)"
  exit 77
fi
valgrind=$(command -v valgrind) || { echo "valgrind is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/empty-path" "$work/run"
failed=0

# count LIMIT LABEL ARGS...: runs tarnwick ARGS in $work/run with PATH empty of tools (no cargo,
# no git) and compares the instructions of the tarnwick process with LIMIT.
count() {
  local limit=$1 label=$2
  shift 2
  rm -rf "$work/run/demo" "$work"/cg.*
  (cd "$work/run" && env -i HOME="$work/home" PATH="$work/empty-path" \
    /bin/sh -c 'echo $$ > ../pid; exec "$0" "$@"' "$valgrind" --tool=callgrind \
    --callgrind-out-file="$work/cg.%p" "$bin" "$@" >/dev/null 2>"$work/valgrind.log") || {
    echo "FAIL $label: the run failed"; cat "$work/valgrind.log"; failed=1; return; }
  local total
  total=$(awk '/^totals:/ {print $2}' "$work/cg.$(cat "$work/pid")")
  if [[ -z "$total" ]]; then
    echo "FAIL $label: no count"; failed=1
  elif (( total > limit )); then
    echo "FAIL $label: $total instructions, more than $limit"; failed=1
  else
    echo "ok   $label: $total instructions (at most $limit)"
  fi
}

count 200000 "tarnwick --version" --version
count 200000 "tarnwick check demo" check demo
# The contract grows with every option: about 20000 instructions per option with choices.
count 1300000 "tarnwick schema" schema
count 1600000 "tarnwick new demo --no-git (no cargo on PATH)" \
  new demo --no-git --author 'A <a@b.c>' -o json
exit $failed

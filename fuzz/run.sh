#!/usr/bin/env bash
# Runs every fuzz target of the fuzz build (BUILD_DIR/fuzz/targets.txt, the list that
# fuzz/CMakeLists.txt writes) for an equal share of SECONDS, the fuzzing time of the whole run
# (at least 1 s each), as many at a time as there are processors. Fails, naming each target, on
# a crash, a sanitizer report, a hang, or a fuzzer that does not run: each target's exit status
# is taken from `wait` on its own process.
#
# Each target starts from its seeds in fuzz/corpus and from the corpus this machine keeps, and
# writes what it finds into a scratch corpus; after a clean run, libFuzzer's merge adds to the
# kept corpus the new inputs that reach code it does not, so the corpora grow from run to run
# while the tree stays as it is. The kept corpus is outside the checkout, beside the machine's
# other caches: $TARNWICK_FUZZ_CORPUS, else ~/.cache/tarnwick/fuzz ($XDG_CACHE_HOME when set),
# one directory per target, shared by every checkout of the machine.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [SECONDS]}" && pwd)
total=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
list="$build/fuzz/targets.txt"
if [[ ! -s $list ]]; then
  echo "fuzz: no list of targets at $list; build the fuzz preset first (make fuzz-build)" >&2
  exit 1
fi
mapfile -t targets <"$list"
seconds=$((total / ${#targets[@]}))
((seconds >= 1)) || seconds=1
kept=${TARNWICK_FUZZ_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick/fuzz}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One target, its output in the scratch directory; its exit status is the fuzzing's, or the
# merge's when the fuzzing was clean.
run_target() {
  local target=$1 status=0
  local fuzzer="$build/fuzz/$target" found="$scratch/$target"
  mkdir -p "$found" "$kept/$target"
  cd "$scratch"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$found" "$kept/$target" "$here/corpus/$target" 2>"$found.log" || status=$?
  if ((status == 0)); then
    "$fuzzer" -merge=1 "$kept/$target" "$found" 2>"$found.merge.log" || status=$?
  fi
  return "$status"
}

parallel=$(nproc 2>/dev/null || echo 1)
pids=() statuses=() next=0
# Waits for the next target in order (they all take the same time) and keeps its status.
collect_next() {
  local status=0
  wait "${pids[$next]}" || status=$?
  statuses[$next]=$status
  next=$((next + 1))
}
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, corpus kept in $kept"
for at in "${!targets[@]}"; do
  ((at - next < parallel)) || collect_next
  run_target "${targets[$at]}" &
  pids[$at]=$!
done
while ((next < ${#targets[@]})); do collect_next; done

failed=0
for at in "${!targets[@]}"; do
  target=${targets[$at]}
  if ((statuses[at] != 0)); then
    for log in "$scratch/$target.log" "$scratch/$target.merge.log"; do
      if [[ -f $log ]]; then tail -n 40 "$log" >&2; fi
    done
    echo "fuzz: $target FAILED (exit status ${statuses[at]})" >&2
    failed=1
  else
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$target.log")
    added=$(sed -n 's/^MERGE-OUTER: \([0-9]*\) new files.*/\1/p' "$scratch/$target.merge.log")
    echo "fuzz: $target: ${runs:-?} runs, ${added:-0} new inputs kept," \
      "$(find "$kept/$target" -type f | wc -l) in all"
  fi
done
((failed == 0)) || exit 1
echo "fuzz: all targets clean"

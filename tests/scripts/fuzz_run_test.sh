#!/usr/bin/env bash
# fuzz/run.sh against stand-in fuzzers: a target that fails fails the run and is named, wherever
# it stands in the list; the clean ones pass; the seconds are shared among the targets; what a
# clean run found is merged into the kept corpus and what a failed one found is not.
set -uo pipefail
run_sh=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-run-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/fuzz" "$work/build/fuzz"
cp "$run_sh" "$work/fuzz/run.sh"
# A stand-in: records its time, writes one input into the first corpus, and exits 1 when its
# name says crash; with -merge=1 it copies the second directory into the first.
stand_in='#!/usr/bin/env bash
dirs=() time=
for a in "$@"; do case $a in -merge=1) merge=1 ;; -max_total_time=*) time=${a#*=} ;; -*) ;; *) dirs+=("$a") ;; esac; done
if [[ -n ${merge:-} ]]; then cp "${dirs[1]}"/* "${dirs[0]}"/ && echo "MERGE-OUTER: 1 new files" >&2; exit; fi
echo "$time" >"${dirs[0]}/found-${0##*/}"
echo "stat::number_of_executed_units: 5" >&2
[[ $0 != *crash* ]] || { echo "==1== ERROR: deadly signal" >&2; exit 1; }'
for name in a b c d e crash; do
  mkdir -p "$work/fuzz/corpus/fuzz_$name"
  printf '%s\n' "$stand_in" >"$work/build/fuzz/fuzz_$name"
  chmod +x "$work/build/fuzz/fuzz_$name"
done

# targets | seconds in all | the one that fails, or none
cases=(
  "a b|10|"
  "crash a b|9|crash"
  "a b c d e crash|12|crash"
  "a crash b c|8|crash"
)
for c in "${cases[@]}"; do
  IFS='|' read -r names total failing <<<"$c"
  what="targets '$names'"
  kept=$work/kept/$RANDOM
  printf 'fuzz_%s\n' $names >"$work/build/fuzz/targets.txt"
  TARNWICK_FUZZ_CORPUS=$kept bash "$work/fuzz/run.sh" "$work/build" "$total" >"$work/out" 2>"$work/err"
  status=$?
  count=$(wc -w <<<"$names")
  for name in $names; do
    found=$kept/fuzz_$name/found-fuzz_$name
    if [[ $name == "$failing" ]]; then
      grep -q "fuzz: fuzz_$name FAILED (exit status 1)" "$work/err" || fail "$what: $name not named as failed"
      [[ ! -e $found ]] || fail "$what: a failed run's inputs were kept"
    else
      grep -q "fuzz_$name FAILED" "$work/err" && fail "$what: clean $name named as failed"
      [[ $(cat "$found" 2>/dev/null) == $((total / count)) ]] || fail "$what: $name did not run its share or keep its input"
    fi
  done
  if [[ -n $failing ]]; then
    ((status != 0)) || fail "$what: the run passed with a failing target"
  else
    ((status == 0)) && grep -q "all targets clean" "$work/out" || fail "$what: a clean run failed: $(cat "$work/err")"
  fi
done

rm "$work/build/fuzz/targets.txt"
bash "$work/fuzz/run.sh" "$work/build" 5 >/dev/null 2>&1 && fail "a build without a list of targets passed"
((failures == 0)) || exit 1
echo "fuzz/run.sh: all cases passed"

#!/usr/bin/env bash
# The parts of `make test`, timed: `timed.sh LOG NAME COMMAND...` runs COMMAND, appends
# "NAME<TAB>WALL<TAB>CPU" (seconds; CPU is user plus system time of COMMAND and every process
# it waited for) to LOG and exits with COMMAND's status; `timed.sh --report LOG` prints the
# parts as one line, the whole run's wall time first.
set -uo pipefail
if [[ ${1:-} == --report ]]; then
  log=${2:?usage: timed.sh --report LOG}
  [[ -s $log ]] || exit 0
  awk -F '\t' '
    $1 == "start" { start = $2; next }
    { parts = parts sprintf("%s%s %d s (%d CPU-s)", sep, $1, $2 + 0.5, $3 + 0.5); sep = ", "; cpu += $3 }
    END {
      "date +%s.%N" | getline now
      printf "make test: %d:%02d wall, %d CPU-s; %s\n", (now - start) / 60, (now - start) % 60, cpu + 0.5, parts
    }' "$log"
  exit 0
fi
log=${1:?usage: timed.sh LOG NAME COMMAND...}
name=${2:?usage: timed.sh LOG NAME COMMAND...}
shift 2
if [[ $name == start ]]; then
  printf 'start\t%s\n' "$EPOCHREALTIME" >"$log"
  exit 0
fi
started=$EPOCHREALTIME
"$@"
status=$?
ended=$EPOCHREALTIME
# `times` prints the shell's own user and system time, then its waited-for children's; it runs
# here, in this shell, since a command substitution's subshell has children of its own.
times >"$log.times"
cpu=$(awk 'NR == 2 {
  total = 0
  for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
  printf "%.1f", total }' "$log.times")
rm -f "$log.times"
printf '%s\t%.1f\t%s\n' "$name" "$(awk -v a="$started" -v b="$ended" 'BEGIN { print b - a }')" "$cpu" >>"$log"
exit $status

#!/usr/bin/env bash
# tests/registry/shared_target.sh: a second run waits while the first holds the lock, a
# process the holder leaves behind does not keep it, the script's arguments come through whole,
# and a directory over its limit is emptied before the run while one under it is kept.
set -uo pipefail
helper=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/shared-target-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

target=$work/target
# The holder: records its arguments, leaves a sleeper behind, then holds for $HOLD seconds.
cat >"$work/holder.sh" <<SCRIPT
source "$helper"
hold_shared_target "$target" "\$0" "\$@"
printf '%s\n' "\$@" >"$work/args.\$\$"
ls "$target" >"$work/left.\$\$"
sleep 30 </dev/null >/dev/null 2>&1 &
echo \$! >>"$work/sleepers"
sleep "\${HOLD:-0}"
SCRIPT

mkdir -p "$target"
HOLD=2 bash "$work/holder.sh" "two words" "" '$literal' &
first=$!
sleep 0.5
if out=$(timeout 0.5 bash "$work/holder.sh" second); then
  fail "a second run got the lock while the first held it"
elif [[ $out != *"waiting for $target.lock"* ]]; then
  fail "a waiting run says nothing: '$out'"
fi
wait "$first" || fail "the first run failed"
# The first run is over; its sleeper still runs and must not hold the lock.
if ! timeout 5 bash "$work/holder.sh" third >/dev/null; then
  fail "a process left behind by the first run kept the lock"
fi
args=$(cat "$work"/args.* | sort | tr '\n' '|')
[[ $args == '|$literal|third|two words|' ]] || fail "the arguments changed on the way: $args"
xargs kill <"$work/sleepers" 2>/dev/null

# The limit, in MB: 3 MB is over 1 and under 10.
rm -f "$work"/left.*
dd if=/dev/zero of="$target/big" bs=1M count=3 2>/dev/null
TARNWICK_TARGET_LIMIT_MB=10 bash "$work/holder.sh" >/dev/null
[[ $(cat "$work"/left.*) == big ]] || fail "a directory under its limit was emptied"
rm -f "$work"/left.*
TARNWICK_TARGET_LIMIT_MB=1 bash "$work/holder.sh" >/dev/null
[[ -z $(cat "$work"/left.*) && -d $target ]] || fail "a directory over its limit was not emptied"
xargs kill <"$work/sleepers" 2>/dev/null

[[ $failures -eq 0 ]] && echo "shared target: all cases passed"
exit $((failures > 0))

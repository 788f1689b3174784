#!/usr/bin/env bash
# Runs the unit tests under valgrind's memcheck, and the end-to-end tests with every tarnwick
# run under memcheck. Any memcheck error makes the run fail; reports stay in the log directory.
set -uo pipefail
build=${1:?usage: memcheck.sh BUILD_DIR}
logs=$(mktemp -d /tmp/tarnwick-memcheck.XXXXXX)
vg=("$(command -v valgrind)" --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect
    --errors-for-leak-kinds=definite,indirect)
status=0
# valgrind cannot run posix_spawn's vfork-style clone, so a program missing from PATH shows
# up as a child exiting 127 instead of ENOENT from the spawn: those cases are left out here.
echo "memcheck: unit tests"
"${vg[@]}" --log-file="$logs/unit-%p.log" "$build/tests/unit_tests" --gtest_brief=1 \
  --gtest_filter='-Runner.MissingProgram' || status=1
echo "memcheck: end-to-end tests (each tarnwick run under memcheck)"
# Left out: the completion tests (they run shells, not tarnwick), the missing-program cases, and
# the closed-descriptor case (valgrind's own log file takes the closed descriptor 1).
TARNWICK_TEST_WRAPPER="${vg[*]} --log-file=$logs/e2e-%p.log" \
  "$build/tests/e2e_tests" --gtest_brief=1 --gtest_filter='-Completion*:Faults.ClosedStandardDescriptors*:NewCommand.MissingGit*:SecretsFailure.GhMissingFromPath:SecretsFailure.SshKeygenMissing*' || status=1
errors=$(find "$logs" -name '*.log' -size +0 | wc -l)
if [ "$errors" -ne 0 ]; then
  echo "memcheck: $errors runs reported errors; see $logs" >&2
  find "$logs" -name '*.log' -size +0 -exec head -n 30 {} \; >&2
  status=1
fi
[ $status -eq 0 ] && { echo "memcheck: zero errors"; rm -rf "$logs"; }
exit $status

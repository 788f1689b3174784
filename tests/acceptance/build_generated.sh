#!/usr/bin/env bash
# Builds, lints and tests a project written by `tarnwick new` exactly as generated, the way its
# user's first day goes: a fresh clone of its one commit (which must hold Cargo.lock), then
# `cargo check --locked`, `cargo test --locked` (the schema conformance test included),
# clippy, `make check` without cargo-nextest, every package of Cargo.lock within the project's
# rust-version, `cargo publish --dry-run`, a release build and the binary's own behaviour,
# leaving the clone's git tree clean. Cargo takes the crates from the registry, through the cargo
# home that CARGO_HOME names (tests/registry/cargo_home.sh).
# Usage: build_generated.sh <project-dir>
# Exit status: 0 all stages passed, 1 a stage failed, 2 bad usage, 77 toolchain missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)

source "$here/../support/prerequisite.sh"
skip() { missing_prerequisite "$@"; }

[ $# -eq 1 ] || {
    echo "usage: $0 <project-dir>" >&2
    exit 2
}
project=$1
[ -f "$project/Cargo.toml" ] || {
    echo "FAIL: $project has no Cargo.toml" >&2
    exit 1
}

# rustup installs into ~/.cargo/bin, which a test's replaced HOME or a minimal PATH may hide.
for dir in "${HOME:-}/.cargo/bin" /root/.cargo/bin; do
    [ -x "$dir/cargo" ] && PATH="$PATH:$dir"
done
export PATH
command -v cargo >/dev/null 2>&1 || skip "cargo is not installed"
cargo --version >/dev/null 2>&1 || skip "cargo is installed but has no usable toolchain"
cargo fmt --version >/dev/null 2>&1 || skip "rustfmt is not installed"
cargo clippy --version >/dev/null 2>&1 || skip "clippy is not installed"
command -v make >/dev/null 2>&1 || skip "make is not installed"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-generated.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
clone=$scratch/clone
git clone -q "$project" "$clone" || {
    echo "FAIL: cloning $project"
    exit 1
}
cd "$clone" || exit 1
# A caller building several projects may share one target directory, so the dependencies
# compile once.
export CARGO_TARGET_DIR=${ACCEPTANCE_TARGET_DIR:-$scratch/target}
failed=()

stage() {
    local name=$1
    shift
    local started=$SECONDS
    echo "==> $name: $*"
    if ! "$@"; then
        echo "FAIL: $name ($*) after $((SECONDS - started))s"
        failed+=("$name")
        return 1
    fi
    echo "    $name: $((SECONDS - started))s"
}

first_commit() {
    local commits tracked
    commits=$(git rev-list --count HEAD)
    tracked=$(git ls-files Cargo.lock)
    [ "$commits" = 1 ] && [ "$tracked" = Cargo.lock ] ||
        { echo "  $commits commit(s); Cargo.lock tracked: '${tracked}'"; return 1; }
}

no_nextest() {
    if cargo nextest --version >/dev/null 2>&1; then
        echo "  cargo-nextest is installed here, so make check cannot show the fallback"
        return 1
    fi
}

clean_tree() {
    local status
    status=$(git status --porcelain --untracked-files=all)
    [ -z "$status" ] || { echo "$status"; return 1; }
}

# Every package that Cargo.lock pins declares a rust-version no newer than the project's own,
# so the MSRV the manifest promises (and ci.yml's msrv job tests) is a fact of the lock file.
msrv() {
    cargo metadata --format-version 1 --locked >"$scratch/metadata.json" &&
        "$python" "$here/msrv.py" "$scratch/metadata.json"
}

# `cargo publish --dry-run` verifies the packaged copy in $CARGO_TARGET_DIR/package, and records
# its sources there: a later build of a same-named project in the shared target directory would
# be judged fresh against that copy. Removing the package's own artifacts (not its
# dependencies') afterwards keeps every later build honest.
publish_dry_run() {
    local package
    package=$(awk '/^\[/ {p = ($0 == "[package]")} p && $1 == "name" {gsub(/"/, "", $3); print $3; exit}' Cargo.toml)
    cargo publish --dry-run --locked && cargo clean -q -p "$package"
}

bin_name=$(awk '/^\[\[bin\]\]$/ {inbin = 1; next} /^\[/ {inbin = 0}
    inbin && $1 == "name" {gsub(/"/, "", $3); print $3; exit}' Cargo.toml)
bin=$CARGO_TARGET_DIR/release/$bin_name

# Runs the release binary once; fails unless the exit code and output match.
expect_run() {
    local want_code=$1 want_out=$2 stream=$3
    shift 3
    local out err code
    out=$("$bin" "$@" 2>"$scratch/stderr.txt" </dev/null)
    code=$?
    err=$(cat "$scratch/stderr.txt")
    local got=$out
    [ "$stream" = stderr ] && got=$err
    if [ "$code" -ne "$want_code" ] || [[ "$got" != *"$want_out"* ]]; then
        echo "  $bin_name $*: exit $code (want $want_code), $stream lacks: $want_out"
        echo "  stdout: $out"
        echo "  stderr: $err"
        return 1
    fi
}

# Runs the release binary with standard output on a pipe whose reader is already gone, then on
# a full device: the first is a quiet success, the second an `io` envelope with exit code 2.
expect_writes() {
    local err code ok=0
    err=$("$python" -c '
import os, subprocess, sys
read_end, write_end = os.pipe()
os.close(read_end)
run = subprocess.run(sys.argv[1:], stdout=write_end, stderr=subprocess.PIPE)
sys.stdout.write(run.stderr.decode(errors="replace"))
sys.exit(run.returncode)' "$bin" "$@")
    code=$?
    if [ "$code" -ne 0 ] || [ -n "$err" ]; then
        echo "  $bin_name $* into a closed pipe: exit $code (want 0), stderr: $err"
        ok=1
    fi
    err=$("$bin" "$@" 2>&1 >/dev/full)
    code=$?
    if [ "$code" -ne 2 ] || [[ "$err" != *'"kind":"io"'* ]]; then
        echo "  $bin_name $* into /dev/full: exit $code (want 2), stderr: $err"
        ok=1
    fi
    return $ok
}

smoke() {
    local ok=0
    expect_run 0 '"doubled":42' stdout 21 || ok=1
    expect_run 0 '{"value":21,"doubled":42}' stdout run 21 || ok=1
    expect_run 0 '{"value":-5,"doubled":-10}' stdout -5 || ok=1
    expect_run 0 '21 doubled is 42' stdout -o text 21 || ok=1
    expect_run 0 '"doubled":9223372036854775807' stdout 9223372036854775807 || ok=1
    expect_run 1 '"kind":"invalid_input"' stderr abc || ok=1
    expect_run 3 'no value given (try `'"$bin_name"' 21`)' stderr || ok=1
    expect_run 0 '  "ordoval": "0.3"' stdout schema || ok=1
    expect_run 0 "$bin_name" stdout completions bash || ok=1
    # --output, in every spelling, before or after the command; a bad value is a usage error.
    local contract='  "ordoval": "0.3"' doubled='{"value":21,"doubled":42}'
    expect_run 0 "$contract" stdout -o json schema || ok=1
    expect_run 0 "$contract" stdout --output=json schema || ok=1
    expect_run 0 "$contract" stdout -ojson schema || ok=1
    expect_run 0 "$contract" stdout schema -o text || ok=1
    expect_run 0 '21 doubled is 42' stdout -o text run 21 || ok=1
    expect_run 0 '21 doubled is 42' stdout run 21 --output text || ok=1
    expect_run 0 "$doubled" stdout -o json 21 || ok=1
    expect_run 0 "$doubled" stdout 21 -o json || ok=1
    expect_run 0 "complete -F _" stdout -o json completions bash || ok=1
    expect_run 0 "complete -F _" stdout completions bash -o json || ok=1
    expect_run 0 '-5 doubled is -10' stdout -o text -5 || ok=1
    expect_run 0 '{"value":-5,"doubled":-10}' stdout -o json run -5 || ok=1
    expect_run 3 '"exit_code":3,"hint":' stderr -o xml schema || ok=1
    expect_run 3 '"kind":"usage"' stderr -o xml 21 || ok=1
    expect_run 3 'a value cannot come before the `schema` command' stderr 21 schema || ok=1
    for args in "21" "schema" "completions bash" "--help"; do
        # shellcheck disable=SC2086 # each case is a list of words
        expect_writes $args || ok=1
    done
    return $ok
}

stage first-commit first_commit
stage no-nextest no_nextest
stage fmt cargo fmt -- --check
stage check cargo check --locked
stage clippy cargo clippy --all-targets -- -D warnings
stage test cargo test --locked
stage make-check make check
stage msrv msrv
stage publish-dry-run publish_dry_run
if stage release cargo build --release --locked; then
    stage smoke smoke
fi
stage clean-tree clean_tree

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED stages: ${failed[*]}"
    exit 1
fi
echo "OK: first commit, check, clippy, test, make check, msrv, publish dry run, release, smoke and clean tree"

#!/usr/bin/env bash
# What a generated project promises beyond its first build, proven on fresh clones of it:
# a panic ends in the error envelope with a declared exit code; the contract test catches a
# command added to main.rs alone; a failing doctest fails `make test` with cargo-nextest and
# without it; `make release-patch` and `make release-minor` bump, lock, commit and tag with
# cargo and git only, and refuse a dirty tree or another branch; `make update-deps` runs; the
# crate leaves out the files it does not need. The broken variants are patched copies; the
# project itself is never changed.
# Usage: promises.sh <project-dir>. Runs after build_generated.sh, in the same environment
# (the shared CARGO_HOME, ACCEPTANCE_TARGET_DIR shared so that only the project recompiles).
# Exit status: 0 all passed, 1 a check failed, 2 bad usage.
set -u

[ $# -eq 1 ] || {
    echo "usage: $0 <project-dir>" >&2
    exit 2
}
project=$(realpath "$1")
for dir in "${HOME:-}/.cargo/bin" /root/.cargo/bin; do
    [ -x "$dir/cargo" ] && PATH="$PATH:$dir"
done
export PATH

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-promises.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
export CARGO_TARGET_DIR=${ACCEPTANCE_TARGET_DIR:-$scratch/target}
name=$(awk '/^\[\[bin\]\]$/ {inbin = 1; next} /^\[/ {inbin = 0}
    inbin && $1 == "name" {gsub(/"/, "", $3); print $3; exit}' "$project/Cargo.toml")
snake=${name//-/_}

failed=()
fail() {
    echo "FAIL: $*"
    failed+=("$1")
}

fresh_clone() {
    rm -rf "$scratch/$1"
    git clone -q "$project" "$scratch/$1" && cd "$scratch/$1"
}

# A cargo-nextest that runs what nextest runs (unit and integration tests, no doctests), so
# `make test` takes its nextest branch without the real tool.
standin=$scratch/nextest-bin
mkdir -p "$standin"
cat >"$standin/cargo-nextest" <<'SH'
#!/bin/sh
[ "${1:-}" = nextest ] && shift
case "${1:-}" in
--version) echo "cargo-nextest 0.9.0 (stand-in)" ;;
run) shift; echo "stand-in nextest: no doctests" >&2; exec "${CARGO:-cargo}" test --lib --bins --tests "$@" ;;
*) echo "stand-in nextest: unsupported: $*" >&2; exit 2 ;;
esac
SH
chmod +x "$standin/cargo-nextest"

# The version in [package] of Cargo.toml and in the project's own entry of Cargo.lock.
versions() {
    awk '/^\[/ {p = ($0 == "[package]")} p && $1 == "version" {gsub(/"/, "", $3); print $3; exit}' Cargo.toml
    awk -v name="$name" '$1 == "name" {hit = ($3 == "\"" name "\"")} hit && $1 == "version" {gsub(/"/, "", $3); print $3; exit}' Cargo.lock
}

check_release() {
    local target=$1 want=$2 got tag_type
    make -s "$target" >"$scratch/release.out" 2>&1 || {
        fail "make $target" "exited non-zero: $(cat "$scratch/release.out")"
        return
    }
    got=$(versions | tr '\n' ' ')
    [ "$got" = "$want $want " ] || fail "make $target" "Cargo.toml and Cargo.lock hold '$got', want $want"
    [ "$(git describe --exact-match HEAD 2>/dev/null)" = "v$want" ] ||
        fail "make $target" "HEAD is not tagged v$want"
    tag_type=$(git cat-file -t "v$want" 2>/dev/null)
    [ "$tag_type" = tag ] || fail "make $target" "v$want is a '$tag_type', not an annotated tag"
    [ "$(git log -1 --format=%s)" = "Release $want" ] || fail "make $target" "commit subject: $(git log -1 --format=%s)"
    [ -z "$(git status --porcelain --untracked-files=all)" ] || fail "make $target" "tree not clean: $(git status --short)"
    grep -qx "  git push origin main v$want" "$scratch/release.out" ||
        fail "make $target" "does not print the push command: $(cat "$scratch/release.out")"
    cargo check --locked -q || fail "make $target" "cargo check --locked fails after it"
}

# Each refusal must leave the version, the tags and the commits as they were.
check_refusal() {
    local label=$1 want=$2 before after
    before=$(git rev-parse HEAD; git tag; versions)
    if make -s release-patch >"$scratch/refusal.out" 2>&1; then
        fail "release refuses $label" "make release-patch succeeded"
    fi
    grep -q "$want" "$scratch/refusal.out" || fail "release refuses $label" "$(cat "$scratch/refusal.out")"
    after=$(git rev-parse HEAD; git tag; versions)
    [ "$before" = "$after" ] || fail "release refuses $label" "it changed the repository"
}

echo "==> release-patch, release-minor and their refusals"
if fresh_clone release; then
    check_release release-patch 0.1.1
    check_release release-minor 0.2.0
    check_release release-rc 0.2.1-rc.1
    check_release release-rc 0.2.1-rc.2
    check_refusal "a release candidate" "release-final"
    check_release release-final 0.2.1
    RC_OF=minor check_release release-rc 0.3.0-rc.1
    check_release release-final 0.3.0
    echo "# local edit" >>README.md
    check_refusal "a dirty tree" "uncommitted changes"
    git checkout -q README.md
    git checkout -q -b topic
    check_refusal "another branch" "not from 'topic'"
else
    fail release "cannot clone $project"
fi

echo "==> update-deps and the packaged file list"
if fresh_clone deps; then
    if ! make update-deps >"$scratch/deps.out" 2>&1 ||
        grep -Eq 'command not found|No such file or directory' "$scratch/deps.out"; then
        fail update-deps "$(cat "$scratch/deps.out")"
    fi
    listed=$(cargo package --locked --list --allow-dirty 2>&1)
    for unwanted in .github/workflows/ci.yml Makefile prek.toml pyproject.toml; do
        ! grep -qx "$unwanted" <<<"$listed" || fail package "the crate ships $unwanted"
    done
    grep -qx src/main.rs <<<"$listed" || fail package "the crate lacks src/main.rs: $listed"
else
    fail update-deps "cannot clone $project"
fi

echo "==> doctests fail make test, with cargo-nextest and without"
if fresh_clone doctest; then
    if ! PATH="$standin:$PATH" make test >"$scratch/test.out" 2>&1 ||
        ! grep -q "stand-in nextest" "$scratch/test.out" || ! grep -q "Doc-tests $snake" "$scratch/test.out"; then
        fail "make test with nextest" "the intact project: $(tail -n 20 "$scratch/test.out")"
    fi
    printf '\n/// ```\n/// assert_eq!(1 + 1, 3, "a failing doctest");\n/// ```\npub fn documented() {}\n' >>src/lib.rs
    for path in "$standin:$PATH" "$PATH"; do
        if PATH=$path make test >"$scratch/test.out" 2>&1; then
            fail "make test runs doctests" "a failing doctest passed (PATH=$path)"
        elif ! grep -q "a failing doctest" "$scratch/test.out"; then
            fail "make test runs doctests" "failed, but not on the doctest: $(tail -n 20 "$scratch/test.out")"
        fi
    done
else
    fail doctest "cannot clone $project"
fi

echo "==> an undeclared command fails the contract test; a panic ends in the envelope"
if fresh_clone patched; then
    # A subcommand in main.rs that src/schema.rs does not declare.
    sed -i 's|^    Schema,$|    Schema,\n    /// Declared nowhere else.\n    Undeclared,|;
        s|^            Self::Schema => "schema",$|            Self::Schema => "schema",\n            Self::Undeclared => "undeclared",|;
        s|^        Some(Command::Schema) => |        Some(Command::Undeclared) => return ExitCode::SUCCESS,\n        Some(Command::Schema) => |' src/main.rs
    # A panic on one input.
    sed -i 's|^    let doubled = value.saturating_mul(2);$|    assert_ne!(value, 13, "an injected panic");\n    let doubled = value.saturating_mul(2);|' src/lib.rs
    [ "$(git diff --numstat | wc -l)" = 2 ] || fail patch "the patches did not apply: $(git diff --stat)"
    if cargo test --locked --bin "$name" >"$scratch/drift.out" 2>&1; then
        fail "contract drift" "cargo test passed with an undeclared command"
    elif ! grep -q 'commands in main.rs but not in src/schema.rs: \["undeclared"\]' "$scratch/drift.out"; then
        fail "contract drift" "failed, but not on the drift: $(tail -n 20 "$scratch/drift.out")"
    fi
    if cargo build --locked -q 2>"$scratch/build.out"; then
        "$CARGO_TARGET_DIR/debug/$name" 13 >/dev/null 2>"$scratch/panic.err"
        code=$?
        "$CARGO_TARGET_DIR/debug/$name" schema >"$scratch/contract.json"
        "${TARNWICK_PYTHON3:-python3}" - "$code" "$scratch/panic.err" "$scratch/contract.json" <<'PY' || fail panic "see above"
import json, sys
code, stderr, contract = int(sys.argv[1]), open(sys.argv[2]).read(), json.load(open(sys.argv[3]))
declared = {e["kind"]: e["exit_code"] for e in contract["errors"]}
lines = stderr.strip().splitlines()
try:
    error = json.loads(lines[-1])["error"]
except (IndexError, ValueError, KeyError):
    sys.exit(f"  a panic's stderr does not end in the envelope: {stderr!r}")
problems = []
if error.get("kind") != "internal" or declared.get("internal") != code:
    problems.append(f"kind {error.get('kind')!r}, exit {code}; declared: {declared}")
if error.get("exit_code") != code:
    problems.append(f"envelope exit_code {error.get('exit_code')} but the process exited {code}")
if "an injected panic" not in error.get("message", ""):
    problems.append(f"message {error.get('message')!r}")
if problems:
    sys.exit("  " + "; ".join(problems))
PY
    else
        fail panic "the patched copy does not build: $(cat "$scratch/build.out")"
    fi
else
    fail patched "cannot clone $project"
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED promises: ${failed[*]}"
    exit 1
fi
echo "OK: release targets, update-deps, packaged files, doctests, contract drift and panics"

#!/usr/bin/env bash
# Builds, lints and tests a project rendered by `tarnwick new`, offline, against the Rust crates
# that Debian ships as source. Only a scratch copy is touched: its manifest is adjusted to what
# Debian has, and the schema conformance test (whose validator crate Debian lacks) is left out.
# Usage: build_generated.sh <rendered-project-dir> [scratch-dir]
# Exit status: 0 all stages passed, 1 a stage failed, 2 bad usage, 77 toolchain or crates missing.
set -u

readonly REGISTRY=/usr/share/cargo/registry

die_usage() {
    echo "usage: $0 <rendered-project-dir> [scratch-dir]" >&2
    exit 2
}

skip() {
    echo "SKIP: $*"
    exit 77
}

[ $# -ge 1 ] && [ $# -le 2 ] || die_usage
project=$1
[ -f "$project/Cargo.toml" ] || {
    echo "FAIL: $project has no Cargo.toml" >&2
    exit 1
}

# rustup installs into ~/.cargo/bin, which a test's replaced HOME or a minimal PATH may hide.
for dir in "${CARGO_HOME:-}/bin" "${HOME:-}/.cargo/bin" /root/.cargo/bin; do
    [ -x "$dir/cargo" ] && PATH="$PATH:$dir"
done
export PATH
command -v cargo >/dev/null 2>&1 || skip "cargo is not installed"
cargo --version >/dev/null 2>&1 || skip "cargo is installed but has no usable toolchain"
cargo fmt --version >/dev/null 2>&1 || skip "rustfmt is not installed"
cargo clippy --version >/dev/null 2>&1 || skip "clippy is not installed"
for crate in clap clap_complete serde serde_json thiserror; do
    compgen -G "$REGISTRY/$crate-[0-9]*" >/dev/null ||
        skip "Debian crate $crate missing from $REGISTRY (apt-get install librust-${crate//_/-}-dev)"
done

if [ $# -eq 2 ]; then
    scratch=$2
    mkdir -p "$scratch" || exit 1
    kept=" (scratch copy kept in $scratch)"
else
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-generated.XXXXXX") || exit 1
    trap 'rm -rf "$scratch"' EXIT
    kept=""
fi

# Copy without the conformance test, any build output or lock file pinned to crates.io.
(cd "$project" && tar --exclude=./target --exclude=./Cargo.lock \
    --exclude=./tests/conformance.rs -cf - .) | (cd "$scratch" && tar -xf -) || {
    echo "FAIL: copying $project to $scratch" >&2
    exit 1
}

# Debian has thiserror 1 and no jsonschema; the code uses only what both majors share.
manifest=$scratch/Cargo.toml
sed -i -e 's/^thiserror = "2"$/thiserror = "1"/' \
    -e '/^\[dev-dependencies\]$/d' -e '/^jsonschema = /d' "$manifest"
grep -q '^thiserror = "1"$' "$manifest" || {
    echo "FAIL: Cargo.toml does not declare thiserror = \"2\" as expected" >&2
    exit 1
}

mkdir -p "$scratch/.cargo"
cat >"$scratch/.cargo/config.toml" <<'TOML'
[source.crates-io]
replace-with = "debian"

[source.debian]
directory = "/usr/share/cargo/registry"

[net]
offline = true
TOML

cd "$scratch" || exit 1
# A caller building several projects may share one target directory, so the dependencies
# compile once.
export CARGO_TARGET_DIR=${ACCEPTANCE_TARGET_DIR:-$scratch/target}
failed=()

stage() {
    local name=$1
    shift
    echo "==> $name: $*"
    if ! "$@"; then
        echo "FAIL: $name ($*)"
        failed+=("$name")
        return 1
    fi
}

bin_name=$(awk '/^\[\[bin\]\]$/ {inbin = 1; next} /^\[/ {inbin = 0}
    inbin && $1 == "name" {gsub(/"/, "", $3); print $3; exit}' "$manifest")

# Runs the release binary once; fails unless the exit code and output match.
expect_run() {
    local want_code=$1 want_out=$2 stream=$3
    shift 3
    local out err code
    out=$("$CARGO_TARGET_DIR/release/$bin_name" "$@" 2>"$scratch/stderr.txt" </dev/null)
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

smoke() {
    local ok=0
    expect_run 0 '"doubled":42' stdout 21 || ok=1
    expect_run 0 '21 doubled is 42' stdout -o text 21 || ok=1
    expect_run 0 '"doubled":9223372036854775807' stdout 9223372036854775807 || ok=1
    expect_run 1 '"kind":"invalid_input"' stderr abc || ok=1
    expect_run 3 'no value given (try `'"$bin_name"' 21`)' stderr || ok=1
    expect_run 0 '  "ordoval": "0.3"' stdout schema || ok=1
    expect_run 0 "$bin_name" stdout completions bash || ok=1
    return $ok
}

stage fmt cargo fmt -- --check
stage clippy cargo clippy --all-targets -- -D warnings
stage test cargo test
if stage release cargo build --release; then
    stage smoke smoke
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED stages: ${failed[*]}$kept"
    exit 1
fi
echo "OK: fmt, clippy, test, release and smoke checks passed"

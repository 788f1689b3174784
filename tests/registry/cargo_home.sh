#!/usr/bin/env bash
# Readies a cargo home for building generated projects against the real crates registry: the
# dependencies of templates/Cargo.toml.tmpl resolved and downloaded into DIR, which is kept and
# shared (by the acceptance suite, the release rehearsal and the end-to-end test of `new`), so
# each crate is downloaded once per checkout.
# Usage: cargo_home.sh DIR [--offline-first]
#   default          resolves against the registry every time: the acceptance suite meets
#                    today's crates, and fails here, naming the registry, when it cannot
#   --offline-first  takes the crates already in DIR when they resolve the template's manifest,
#                    and goes to the registry only when they do not
# Exit 0 ready, 1 the registry could not be reached or the resolve failed (with the reason).
set -uo pipefail
home=${1:?usage: cargo_home.sh DIR [--offline-first]}
mode=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
manifest_template=$here/../../templates/Cargo.toml.tmpl

# rustup installs cargo in ~/.cargo/bin, which a test's replaced HOME or CARGO_HOME may hide.
for dir in "${CARGO_HOME:-${HOME:-}/.cargo}/bin" "${HOME:-}/.cargo/bin" /root/.cargo/bin; do
  [[ -x "$dir/cargo" ]] && PATH="$PATH:$dir"
done
command -v cargo >/dev/null || { echo "FAIL: cargo is not installed"; exit 1; }
mkdir -p "$home"
CARGO_HOME=$(cd "$home" && pwd)
export CARGO_HOME

# A project with the template's manifest and empty sources: enough for cargo to resolve and
# download everything a generated project needs, its dev-dependencies included.
probe=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-cargo-home.XXXXXX") || exit 1
trap 'rm -rf "$probe"' EXIT
sed -e 's/{{name}}/registry-probe/g; s/{{name_snake}}/registry_probe/g; s/{{owner}}/probe/g' \
  -e 's/{{description}}/probe/g; s/{{author}}/probe/g; s/{{license}}/MIT/g' \
  "$manifest_template" >"$probe/Cargo.toml"
if grep -q '{{' "$probe/Cargo.toml"; then
  echo "FAIL: templates/Cargo.toml.tmpl has a placeholder this script does not fill:" \
    "$(grep -o '{{[^}]*}}' "$probe/Cargo.toml" | sort -u | tr '\n' ' ')"
  exit 1
fi
mkdir "$probe/src" && touch "$probe/src/lib.rs" "$probe/src/main.rs"

if [[ $mode == --offline-first ]] &&
  (cd "$probe" && cargo generate-lockfile --offline -q && cargo fetch --locked --offline -q) 2>/dev/null; then
  exit 0
fi
# The resolve reads the registry's index, the fetch downloads its crate files; either may fail.
for step in generate-lockfile "fetch --locked"; do
  # shellcheck disable=SC2086 # the step may be two words
  if ! out=$(cd "$probe" && cargo $step 2>&1); then
    echo "FAIL: the crates registry could not be reached, or did not resolve the generated" \
      "manifest (cargo $step, CARGO_HOME=$CARGO_HOME):"
    sed 's/^/  /' <<<"$out"
    exit 1
  fi
done

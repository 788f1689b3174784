#!/usr/bin/env bash
# Makes a CARGO_HOME whose crates.io is an offline directory registry: Debian's Rust crates
# (/usr/share/cargo/registry) plus the stand-in crates beside this script for what Debian lacks.
# Usage: make_cargo_home.sh DIR. Afterwards CARGO_HOME=DIR resolves and builds generated projects
# without a network. Exit 77 (with the reason) when Debian's crates are missing.
set -euo pipefail
home=${1:?usage: make_cargo_home.sh DIR}
here=$(cd "$(dirname "$0")" && pwd)
debian=/usr/share/cargo/registry

for crate in clap clap_complete serde serde_json thiserror; do
  compgen -G "$debian/$crate-[0-9]*" >/dev/null || {
    echo "SKIP: Debian crate $crate missing from $debian (apt-get install librust-${crate//_/-}-dev)"
    exit 77
  }
done

registry=$home/registry-local
rm -rf "$registry"
mkdir -p "$registry"
for entry in "$debian"/*/; do
  ln -s "${entry%/}" "$registry/$(basename "$entry")"
done
for standin in thiserror jsonschema; do
  version=$(sed -n 's/^version = "\(.*\)"$/\1/p' "$here/$standin/Cargo.toml" | head -n 1)
  dest=$registry/$standin-$version
  cp -R "$here/$standin" "$dest"
  # A directory source checks the listed files only; the package sum is recorded in Cargo.lock.
  sum=$(cd "$dest" && find . -type f -print0 | sort -z | xargs -0 cat | sha256sum | cut -d' ' -f1)
  printf '{"package":"%s","files":{}}' "$sum" >"$dest/.cargo-checksum.json"
done

cat >"$home/config.toml" <<TOML
[source.crates-io]
replace-with = "local"

[source.local]
directory = "$registry"

[net]
offline = true
TOML

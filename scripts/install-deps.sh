#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building and testing tarnwick need, and
# only those that are missing. Safe to run any number of times; silent when nothing is missing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libcli11-dev nlohmann-json3-dev libgtest-dev
  git openssh-client openssh-server ruby
  python3 python3-jsonschema python3-yaml
  help2man dpkg-dev hyperfine time valgrind
  clang clang-format libfuzzer-14-dev libclang-rt-14-dev
  librust-clap-dev librust-clap-complete-dev librust-serde-dev librust-serde-json-dev
  librust-thiserror-dev
  bash-completion zsh fish elvish tmux
)

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
# Node.js may come from elsewhere with npm bundled; Debian's npm package is needed only when
# there is no npm at all.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2

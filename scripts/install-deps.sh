#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that tarnwick needs, and only those that are
# missing. `run` (the default) is what building and running the binary needs; `test` adds what
# the test suite, the fuzzers, the benchmarks and the packaging need. Safe to run any number
# of times; silent when nothing is missing, one line on stderr when it installs.
set -euo pipefail

run_packages=(
  g++ cmake make pkg-config
  nlohmann-json3-dev
  git openssh-client
)
test_packages=(
  libgtest-dev openssh-server ruby
  python3 python3-jsonschema python3-yaml
  help2man dpkg-dev hyperfine time valgrind
  clang clang-format libfuzzer-14-dev libclang-rt-14-dev
  librust-clap-dev librust-clap-complete-dev librust-serde-dev librust-serde-json-dev
  librust-thiserror-dev
  bash-completion zsh fish elvish tmux
)

case "${1:-run}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [run|test]" >&2; exit 2 ;;
esac

# One dpkg-query for all packages keeps a second `make run` quick.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for pkg in "${packages[@]}"; do
  grep -qx "$pkg install ok installed" <<<"$installed" || missing+=("$pkg")
done
# Node.js may come from elsewhere with npm bundled; Debian's npm package is needed only when
# there is no npm at all.
if [[ "${1:-run}" == test ]] && ! command -v npm >/dev/null 2>&1; then missing+=(nodejs npm); fi
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp "${TMPDIR:-/tmp}/install-deps.XXXXXX")
trap 'rm -f "$log"' EXIT
if ! { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: apt-get failed" >&2
  exit 1
fi

#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that tarnwick needs, and only those that are
# missing. `run` (the default) is what building and running the binary needs; `test` adds what
# the test suite, the fuzzers, the benchmarks and the packaging need. Safe to run any number
# of times; silent when nothing is missing, one line on stderr when it installs. On a machine
# without dpkg and apt-get it installs nothing: it looks for what each package provides and
# names what is missing, so the packages can be found under the system's own names.
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
  gh
)

case "${1:-run}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [run|test]" >&2; exit 2 ;;
esac

have() { command -v "$1" >/dev/null 2>&1; }

# What a package provides that tarnwick uses, looked for directly; the probe's text names it.
provides() {
  case "$1" in
    g++) probe="a C++20 compiler (c++)"; have c++ ;;
    nlohmann-json3-dev) probe="<nlohmann/json.hpp>"; header nlohmann/json.hpp ;;
    openssh-client) probe="ssh-keygen"; have ssh-keygen ;;
    openssh-server) probe="sshd"; have sshd || [[ -x /usr/sbin/sshd ]] ;;
    libgtest-dev) probe="<gtest/gtest.h>"; header gtest/gtest.h ;;
    python3-jsonschema) probe="python3 -c 'import jsonschema'"; python3 -c 'import jsonschema' 2>/dev/null ;;
    python3-yaml) probe="python3 -c 'import yaml'"; python3 -c 'import yaml' 2>/dev/null ;;
    dpkg-dev) probe="dpkg-shlibdeps"; have dpkg-shlibdeps ;;
    time) probe="/usr/bin/time"; [[ -x /usr/bin/time ]] ;;
    libfuzzer-14-dev | libclang-rt-14-dev) probe="clang++ -fsanitize=fuzzer,address,undefined"; fuzzer_links ;;
    librust-*-dev)
      local crate=${1#librust-}
      crate=${crate%-dev}
      crate=${crate//-/_}
      probe="/usr/share/cargo/registry/$crate-*"
      compgen -G "/usr/share/cargo/registry/$crate-[0-9]*" >/dev/null
      ;;
    bash-completion) probe="/usr/share/bash-completion/bash_completion"; [[ -f $probe ]] ;;
    *) probe="$1"; have "$1" ;;
  esac
}
# The probes get their source from a here-string, not a pipe: under pipefail a compiler that
# exits before reading all of it would fail the writer with SIGPIPE and the probe with it.
header() { have c++ && c++ -x c++ -E - >/dev/null 2>&1 <<<"#include <$1>"; }
fuzzer_links() {
  have clang++ && clang++ -fsanitize=fuzzer,address,undefined -x c++ - -o /dev/null \
    >/dev/null 2>&1 <<<'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }'
}

missing=()
if have dpkg-query && have apt-get; then
  # One dpkg-query for all packages keeps a second `make run` quick.
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
  for pkg in "${packages[@]}"; do
    grep -qx "$pkg install ok installed" <<<"$installed" || missing+=("$pkg")
  done
else
  not_found=()
  for pkg in "${packages[@]}"; do
    provides "$pkg" || not_found+=("$pkg (${probe})")
  done
  if [[ "${1:-run}" == test ]] && ! have npm; then not_found+=("nodejs, npm (npm)"); fi
  [[ ${#not_found[@]} -eq 0 ]] && exit 0
  {
    echo "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):"
    printf '  %s\n' "${not_found[@]}"
  } >&2
  exit 0
fi
# Node.js may come from elsewhere with npm bundled; Debian's npm package is needed only when
# there is no npm at all.
if [[ "${1:-run}" == test ]] && ! have npm; then missing+=(nodejs npm); fi
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

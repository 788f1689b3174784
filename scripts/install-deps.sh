#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that tarnwick needs, and only those that are
# missing. `run` (the default) is what building and running the binary needs; `test` adds what
# the test suite, the fuzzers, the benchmarks and the packaging need; `lint` adds clang-tidy,
# which only `make lint` runs. Safe to run any number
# of times; silent when nothing is missing, one line on stderr when it installs. On a machine
# without dpkg and apt-get it installs nothing: it looks for what each package provides and
# names what is missing, so the packages can be found under the system's own names.
# `test` then installs the release and test tools of docs/platform.md ("Release and test
# tools": maturin, cargo-zigbuild, ziglang, uv, pypiserver, zizmor, check-jsonschema from PyPI
# into a virtual environment, actionlint with `go install`) at exactly the versions listed
# there, into build/test-tools/ of this checkout, never into the system's Python.
set -euo pipefail
script_dir=${BASH_SOURCE[0]%/*}
[[ $script_dir == "${BASH_SOURCE[0]}" ]] && script_dir=.
root=$(cd "$script_dir/.." && pwd)

run_packages=(
  g++ cmake make pkg-config
  nlohmann-json3-dev
  git openssh-client
)
test_packages=(
  libgtest-dev openssh-server ruby
  python3 python3-venv python3-jsonschema python3-yaml
  mandoc dpkg-dev hyperfine time valgrind ccache
  clang clang-format libfuzzer-14-dev libclang-rt-14-dev
  bash-completion zsh fish elvish tmux
  gh
)
# One major version of clang-tidy, the one `make lint` names (CLANG_TIDY): each release adds
# checks, so a newer one is taken deliberately, with its findings, not by an image update.
lint_packages=(clang-tidy-14)

mode=${1:-run}
case "$mode" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  lint) packages=("${run_packages[@]}" "${lint_packages[@]}") ;;
  *) echo "usage: install-deps.sh [run|test|lint]" >&2; exit 2 ;;
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
    python3-venv) probe="python3 -m venv"; python3 -c 'import ensurepip, venv' 2>/dev/null ;;
    dpkg-dev) probe="dpkg-shlibdeps"; have dpkg-shlibdeps ;;
    time) probe="/usr/bin/time"; [[ -x /usr/bin/time ]] ;;
    libfuzzer-14-dev | libclang-rt-14-dev) probe="clang++ -fsanitize=fuzzer,address,undefined"; fuzzer_links ;;
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

# Debian packages: installed with apt-get where there is one, named where there is not.
install_packages() {
  local missing=() not_found=() installed log pkg
  # Go may come from elsewhere (go.dev's tarball); Debian's golang-go is needed only when there
  # is no go at all.
  local want_go=0
  [[ $mode == test ]] && ! have go && want_go=1
  if ! { have dpkg-query && have apt-get; }; then
    for pkg in "${packages[@]}"; do
      provides "$pkg" || not_found+=("$pkg (${probe})")
    done
    [[ $want_go -eq 1 ]] && not_found+=("golang-go (go)")
    [[ ${#not_found[@]} -eq 0 ]] && return 0
    {
      echo "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):"
      printf '  %s\n' "${not_found[@]}"
    } >&2
    return 0
  fi
  # One dpkg-query for all packages keeps a second `make run` quick.
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
  for pkg in "${packages[@]}"; do
    grep -qx "$pkg install ok installed" <<<"$installed" || missing+=("$pkg")
  done
  [[ $want_go -eq 1 ]] && missing+=(golang-go)
  [[ ${#missing[@]} -eq 0 ]] && return 0

  echo "install-deps: installing ${missing[*]}" >&2
  local sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  log=$(mktemp "${TMPDIR:-/tmp}/install-deps.XXXXXX")
  if ! { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "install-deps: apt-get failed" >&2
    exit 1
  fi
  rm -f "$log"
}

# The rows of the "Release and test tools" table of docs/platform.md as REGISTRY PACKAGE VERSION.
tool_rows() {
  awk -F '|' '
    /^## / { inside = ($0 == "## Release and test tools") ; next }
    /^### / { inside = 0 }
    inside && /^\|/ && $2 !~ /^ *(tool|---) *$/ {
      for (i = 2; i <= 5; i++) gsub(/^ +| +$/, "", $i)
      print $3, $4, $5
    }' "$root/docs/platform.md"
}

# The tools at the table's versions in build/test-tools: venv/bin for PyPI's, bin for Go's. A
# stamp holds what was installed, so a second run with an unchanged table starts nothing.
# A fresh checkout installs them again, but from the caches that pip's and go's users share:
# the table's uv (itself kept in the user's cache directory, in a virtual environment of its
# own) fills the environment from uv's cache, and `go install` builds from go's module and
# build caches. Both caches are keyed by content and checked against the registries' hashes,
# so what lands in build/test-tools is exactly the table's versions; only the downloads and
# the compiling are saved.
install_test_tools() {
  local tools=$root/build/test-tools pip_specs=() go_specs=() registry package version uv_version=""
  while read -r registry package version; do
    case $registry in
      PyPI) pip_specs+=("$package==$version")
        [[ $package == uv ]] && uv_version=$version ;;
      Go) go_specs+=("$package@$version") ;;
      *) echo "install-deps: docs/platform.md names an unknown registry '$registry' for $package" >&2; exit 1 ;;
    esac
  done < <(tool_rows)
  [[ ${#pip_specs[@]} -gt 0 && ${#go_specs[@]} -gt 0 ]] ||
    { echo "install-deps: no release and test tools found in docs/platform.md" >&2; exit 1; }
  local want
  want=$(printf '%s\n' "${pip_specs[@]}" "${go_specs[@]}")
  [[ -f $tools/installed && "$(cat "$tools/installed")" == "$want" ]] && return 0
  if ! have python3 || ! python3 -c 'import ensurepip, venv' 2>/dev/null || ! have go; then
    echo "install-deps: the test tools need python3 with venv and go; install them first" >&2
    exit 1
  fi
  [[ -n $uv_version ]] ||
    { echo "install-deps: docs/platform.md lists no uv, which installs the other tools" >&2; exit 1; }

  echo "install-deps: installing ${pip_specs[*]} ${go_specs[*]} into build/test-tools" >&2
  rm -rf "$tools/venv" "$tools/bin" "$tools/installed"
  mkdir -p "$tools/bin"
  local log=$tools/install.log uv
  uv=$(bootstrap_uv "$uv_version" "$log") || exit 1
  # An interpreter of this machine's, never one uv would download.
  if ! { UV_PYTHON_DOWNLOADS=never "$uv" venv --quiet --no-config --python "$(command -v python3)" "$tools/venv" &&
    "$uv" pip install --quiet --no-config --python "$tools/venv/bin/python" "${pip_specs[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: uv could not install ${pip_specs[*]} from PyPI (is PyPI reachable?)" >&2
    exit 1
  fi
  if ! GOBIN=$tools/bin GOTOOLCHAIN=auto go install "${go_specs[@]}" >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: go install could not build ${go_specs[*]} (is the Go module proxy reachable?)" >&2
    exit 1
  fi
  printf '%s\n' "$want" >"$tools/installed"
}

# The uv of the table, in its own virtual environment under the user's cache directory, made
# with pip the first time; prints the path of its executable.
bootstrap_uv() {
  local version=$1 log=$2
  local dir=${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick/uv-$version
  if [[ "$("$dir/bin/uv" --version 2>/dev/null)" != "uv $version"* ]]; then
    rm -rf "$dir"
    if ! { python3 -m venv "$dir" &&
      "$dir/bin/pip" install --quiet --disable-pip-version-check "uv==$version"; } >"$log" 2>&1; then
      cat "$log" >&2
      rm -rf "$dir"
      echo "install-deps: pip could not install uv==$version from PyPI (is PyPI reachable?)" >&2
      return 1
    fi
  fi
  echo "$dir/bin/uv"
}

install_packages
[[ $mode == test ]] && install_test_tools
exit 0

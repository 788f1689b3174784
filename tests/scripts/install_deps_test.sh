#!/usr/bin/env bash
# scripts/install-deps.sh on a machine without dpkg and apt-get: stand-ins on an otherwise
# empty PATH play the tools, and the script must install nothing, exit 0, stay silent when
# everything is there and name exactly what is not.
set -euo pipefail
script=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/install-deps-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# stub NAME EXIT: a tool that exits with EXIT whatever it is asked.
stub() { printf '#!/bin/bash\nexit %s\n' "$2" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
# compiler EXIT: a c++ that reads its source from stdin to the end, as the real one does, and
# then exits with EXIT (exit 0: every header was found).
compiler() {
  printf '#!/bin/bash\nwhile read -r _; do :; done\nexit %s\n' "$1" >"$work/bin/c++"
  chmod +x "$work/bin/c++"
}

# expect NAME EXPECTED_STDERR [MODE]: runs `install-deps.sh MODE` (default run) with only the
# stand-ins on PATH.
expect() {
  local status=0 err
  err=$(PATH="$work/bin" /bin/bash "$script" "${3:-run}" 2>&1 >/dev/null) || status=$?
  if [[ $status -ne 0 || "$err" != "$2" ]]; then
    printf 'FAIL %s: exit %s, stderr:\n%s\n--- expected:\n%s\n' "$1" "$status" "$err" "$2" >&2
    failures=$((failures + 1))
  fi
}

mkdir "$work/bin"
for tool in cmake make pkg-config git ssh-keygen; do stub "$tool" 0; done
compiler 0  # preprocesses any include: every header is there
expect "everything there" ""

rm "$work/bin/git" "$work/bin/ssh-keygen"
compiler 1  # no header is found
expect "three missing" "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):
  nlohmann-json3-dev (<nlohmann/json.hpp>)
  git (git)
  openssh-client (ssh-keygen)"

# `lint` is what building needs and clang-tidy.
expect "lint" "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):
  nlohmann-json3-dev (<nlohmann/json.hpp>)
  git (git)
  openssh-client (ssh-keygen)
  clang-tidy-14 (clang-tidy-14)" lint

# dpkg-query alone (no apt-get) is not a machine to install on either.
stub dpkg-query 0
expect "dpkg without apt-get" "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):
  nlohmann-json3-dev (<nlohmann/json.hpp>)
  git (git)
  openssh-client (ssh-keygen)"

# `test` reads the release and test tools from docs/platform.md of its own checkout: a copy of
# the script in a scratch checkout, with a table of its own and the real awk, cat and grep.
repo=$work/repo
mkdir -p "$repo/scripts" "$repo/docs" "$repo/build/test-tools"
cp "$script" "$repo/scripts/install-deps.sh"
for tool in awk cat grep; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
table() {
  printf '## Release and test tools\n\n| tool | registry | package | version | used for | checked |\n'
  printf '| --- | --- | --- | --- | --- | --- |\n'
  printf '| %s |\n' "$@"
  printf '\n### Something else\n\n| tool | registry | package | version |\n| --- | --- | --- | --- |\n'
  printf '| ignored | Nowhere | ignored | 0 |\n'
}
# expect_tools NAME EXIT TEXT: `install-deps.sh test` exits with EXIT and its stderr holds TEXT.
expect_tools() {
  local status=0 err
  err=$(PATH="$work/bin" /bin/bash "$repo/scripts/install-deps.sh" test 2>&1 >/dev/null) || status=$?
  if [[ $status -ne $2 || "$err" != *"$3"* ]]; then
    printf 'FAIL %s: exit %s (want %s), stderr:\n%s\n--- expected within it:\n%s\n' "$1" "$status" "$2" "$err" "$3" >&2
    failures=$((failures + 1))
  fi
}
table "maturin | PyPI | maturin | 1.0.0 | x | d" "actionlint | Go | example.com/actionlint | v1.0.0 | x | d" \
  >"$repo/docs/platform.md"
printf 'maturin==1.0.0\nexample.com/actionlint@v1.0.0\n' >"$repo/build/test-tools/installed"
expect_tools "tools already installed" 0 "not found, as Debian package"
expect_tools "nothing reinstalled" 0 ""
[[ "$(PATH="$work/bin" /bin/bash "$repo/scripts/install-deps.sh" test 2>&1)" != *"into build/test-tools"* ]] ||
  { echo "FAIL: install-deps reinstalls the tools its stamp lists" >&2; failures=$((failures + 1)); }
table "maturin | PyPI | maturin | 1.0.0 | x | d" "foo | Nuget | foo | 1 | x | d" >"$repo/docs/platform.md"
expect_tools "a registry it cannot install from" 1 "docs/platform.md names an unknown registry 'Nuget' for foo"
table "maturin | PyPI | maturin | 1.1.0 | x | d" "actionlint | Go | example.com/actionlint | v1.0.0 | x | d" \
  >"$repo/docs/platform.md"
expect_tools "a changed version, nothing to install with" 1 "the test tools need python3 with venv and go"
# uv fills the environment: a table without it cannot be installed, and nothing is removed.
stub python3 0
stub go 0
expect_tools "no uv to install with" 1 "docs/platform.md lists no uv, which installs the other tools"
[[ -f "$repo/build/test-tools/installed" ]] ||
  { echo "FAIL: install-deps removed the installed tools before finding it cannot install" >&2; failures=$((failures + 1)); }

[[ $failures -eq 0 ]] && echo "install-deps: all cases pass"
exit "$failures"

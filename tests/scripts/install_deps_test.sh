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

# expect NAME EXPECTED_STDERR: runs `install-deps.sh run` with only the stand-ins on PATH.
expect() {
  local status=0 err
  err=$(PATH="$work/bin" /bin/bash "$script" run 2>&1 >/dev/null) || status=$?
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

# dpkg-query alone (no apt-get) is not a machine to install on either.
stub dpkg-query 0
expect "dpkg without apt-get" "install-deps: cannot install here (needs apt-get and dpkg); not found, as Debian package (what was looked for):
  nlohmann-json3-dev (<nlohmann/json.hpp>)
  git (git)
  openssh-client (ssh-keygen)"

[[ $failures -eq 0 ]] && echo "install-deps: all cases pass"
exit "$failures"

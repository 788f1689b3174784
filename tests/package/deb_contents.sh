#!/usr/bin/env bash
# Builds the .deb from this tree's install rules, as `make package` does, into a scratch
# directory and checks what it holds with check_deb.sh (the zsh completion included, which the
# package places apart from a plain install). Skipped (77) without dpkg-deb.
set -euo pipefail
cpack=${1:?usage: deb_contents.sh CPACK CPACK_CONFIG}
config=${2:?}
command -v dpkg-deb >/dev/null || { echo "deb_contents: no dpkg-deb here; skipped"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Uncompressed: the debug binary is large, and compressing it tests nothing of ours.
"$cpack" --config "$config" -G DEB -D CPACK_DEBIAN_COMPRESSION_TYPE=none -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
packages=("$work"/tarnwick_*.deb)
[[ -f ${packages[0]} ]] || { echo "deb_contents: cpack wrote no tarnwick_*.deb" >&2; exit 1; }
bash "${BASH_SOURCE[0]%/*}/check_deb.sh" "${packages[0]}" >"$work/check.log" || { cat "$work/check.log" >&2; exit 1; }
if grep -q "site-functions" "$work/check.log"; then
  echo "deb_contents: the .deb puts the zsh completion in share/zsh/site-functions, which Debian's zsh does not search" >&2
  exit 1
fi
tail -1 "$work/check.log"

#!/usr/bin/env bash
# Lists the contents of the built .deb and checks that the program, its completion scripts
# and its man page are all inside, at the places Debian's tools look for them.
set -euo pipefail
deb=${1:?usage: check_deb.sh PACKAGE.deb}
listing=$(dpkg-deb -c "$deb")
echo "$listing"
status=0
for path in ./usr/bin/tarnwick \
            ./usr/share/bash-completion/completions/tarnwick \
            ./usr/share/zsh/vendor-completions/_tarnwick \
            ./usr/share/fish/vendor_completions.d/tarnwick.fish \
            ./usr/share/man/man1/tarnwick.1; do
  if ! grep -qE " ${path//./\\.}\$" <<<"$listing"; then
    echo "check_deb: missing $path" >&2
    status=1
  fi
done
deps=$(dpkg-deb -f "$deb" Depends)
[[ "$deps" == *git* && "$deps" == *openssh-client* ]] || { echo "check_deb: Depends is '$deps'" >&2; status=1; }
[[ $status -eq 0 ]] && echo "check_deb: $(basename "$deb") holds the binary, completions and man page"
exit $status

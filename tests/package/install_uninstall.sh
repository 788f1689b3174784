#!/usr/bin/env bash
# make install then make uninstall, through the script both goals run, with the install rules
# of a built tree: the files land where bash, zsh, fish and man look, and uninstalling leaves
# each destination exactly as it was before, whatever was there already.
set -euo pipefail
cmake=${1:?usage: install_uninstall.sh CMAKE BUILD_DIR SOURCE_DIR}
build=${2:?}
source=${3:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}

tree() { (cd "$1" && find . -mindepth 1 | LC_ALL=C sort); }

# run MODE PREFIX [DESTDIR]: the install script as the Makefile runs it, records kept in $work.
run() {
  DESTDIR=${3:-} "$cmake" -DMODE="$1" -DBUILD_DIR="$build" -DPREFIX="$2" \
    -DRECORDS="$work/records" -P "$source/cmake/install_tree.cmake" >"$work/log" 2>&1
}

expected_files=(bin/tarnwick share/man/man1/tarnwick.1 share/bash-completion/completions/tarnwick
  share/zsh/site-functions/_tarnwick share/fish/vendor_completions.d/tarnwick.fish)

# A prefix that exists, with an empty bin/, a man directory holding another page and a zsh
# directory of its own: all of it stays.
prefix=$work/with-others
mkdir -p "$prefix/bin" "$prefix/share/man/man1" "$prefix/share/zsh/site-functions"
echo page >"$prefix/share/man/man1/other.1"
before=$(tree "$prefix")
run install "$prefix" || fail "install into a prefix: $(cat "$work/log")"
for file in "${expected_files[@]}"; do
  [[ -f $prefix/$file ]] || fail "install did not put down $file"
done
[[ -x $prefix/bin/tarnwick ]] || fail "the installed binary is not executable"
run uninstall "$prefix" || fail "uninstall from a prefix: $(cat "$work/log")"
[[ "$(tree "$prefix")" == "$before" ]] ||
  fail "uninstall left the prefix changed:"$'\n'"$(diff <(echo "$before") <(tree "$prefix"))"

# A prefix that does not exist yet is created, and removed again.
prefix=$work/fresh/usr/local
run install "$prefix" && run install "$prefix" || fail "installing twice: $(cat "$work/log")"
run uninstall "$prefix" || fail "uninstall after two installs: $(cat "$work/log")"
[[ ! -e $work/fresh ]] || fail "uninstall after two installs left:"$'\n'"$(tree "$work/fresh")"

# DESTDIR: the files go under it, and only the DESTDIR directory itself stays.
run install /usr "$work/stage" || fail "install with DESTDIR: $(cat "$work/log")"
[[ -f $work/stage/usr/bin/tarnwick ]] || fail "install with DESTDIR put no binary in stage/usr/bin"
run uninstall /usr "$work/stage" || fail "uninstall with DESTDIR: $(cat "$work/log")"
[[ -z "$(tree "$work/stage")" ]] || fail "uninstall with DESTDIR left:"$'\n'"$(tree "$work/stage")"

# A file of someone else's in a directory the install created keeps that directory and its
# parents; a file of the install's already deleted is no error.
prefix=$work/shared
run install "$prefix" || fail "install: $(cat "$work/log")"
echo mine >"$prefix/share/zsh/site-functions/_other"
rm "$prefix/share/man/man1/tarnwick.1"
run uninstall "$prefix" || fail "uninstall with a foreign file: $(cat "$work/log")"
[[ "$(tree "$prefix")" == "$(printf '%s\n' ./share ./share/zsh ./share/zsh/site-functions \
  ./share/zsh/site-functions/_other)" ]] || fail "uninstall around a foreign file left:"$'\n'"$(tree "$prefix")"

# Nothing recorded for a destination: refused, nothing touched.
mkdir -p "$work/never/bin"
touch "$work/never/bin/tarnwick"
if run uninstall "$work/never"; then
  fail "uninstall of a destination never installed into succeeded"
elif ! grep -q "nothing installed into $work/never is recorded" "$work/log"; then
  fail "uninstall of an unrecorded destination said: $(cat "$work/log")"
fi
[[ -f $work/never/bin/tarnwick ]] || fail "a refused uninstall removed a file"

[[ -z "$(ls -A "$work/records")" ]] || fail "records left behind: $(ls "$work/records")"
[[ $failures -eq 0 ]] && echo "install_uninstall: every destination left as it was found"
exit $((failures > 0))

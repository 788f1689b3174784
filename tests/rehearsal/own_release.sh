#!/usr/bin/env bash
# tarnwick's own release, rehearsed: the x86_64 Linux entry of the build job of
# .github/workflows/release.yml run by run_workflow.py at the tag of this version, from a
# repository holding this checkout's files. Its steps build the native tree, the binary with zig
# for glibc 2.17, the archive and the .deb; then the files are checked (SHA-256 lines, the
# archive's install tree, the binary's version and its glibc floor by objdump -T, the package's
# contents and architecture) and the Homebrew formula is written from them and installed from
# the unpacked archive under a stand-in of Homebrew's formula DSL.
# Usage: own_release.sh SOURCE_DIR TOOLS_DIR WORK_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
tools=$(cd "$2" && pwd)
work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SECONDS=0

fail() { echo "FAIL: $*"; exit 1; }
check() { # check WHAT EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then echo "ok: $1"; else printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"; exit 1; fi
}

source "$source_dir/tests/support/prerequisite.sh"
for tool in git unshare objdump dpkg-deb ruby; do
  command -v "$tool" >/dev/null || missing_prerequisite "$tool is not installed"
done
unshare -m --propagation private true 2>/dev/null || missing_prerequisite "no private mount namespace here (needs root)"

rm -rf "$work"
mkdir -p "$work/secrets"
work=$(cd "$work" && pwd)
# Not under /tmp: every workflow step sees its job's own directory as /tmp.
case "$work/" in
  /tmp/*)
    work=$(mktemp -d "${REHEARSAL_TMPDIR:-/var/tmp}/tarnwick-own-release.XXXXXX")
    mkdir "$work/secrets"
    [[ -n "${REHEARSAL_KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT
    ;;
esac
version=$(sed -n 's/^project(tarnwick VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
tag=v$version

# The checkout's tracked files as they are, committed and tagged in a repository of their own.
repo=$work/repo
bash "$here/tracked_tree.sh" "$source_dir" "$repo" "tarnwick $version"
git -C "$repo" tag "$tag"

# zig's builds of its own runtimes (libc++, libunwind, compiler-rt) stay where zig keeps them
# for every user, outside the checkout. The job's native CMake build and scripts/zig-build.py
# compile through this machine's ccache when it has one, so a run compiles only what changed
# since any checkout's last one: the job's HOME is its own, so ccache's directory is named.
if command -v ccache >/dev/null && [[ -z ${CCACHE_DIR:-} ]]; then
  CCACHE_DIR=$(ccache --get-config cache_dir) && export CCACHE_DIR
fi
ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zig} \
  "$python" "$here/run_workflow.py" \
  "$repo/.github/workflows/release.yml" --ref "refs/tags/$tag" --repo "$repo" \
  --repository acme/tarnwick --secrets "$work/secrets" --artifacts "$work/artifacts" \
  --work "$work/run" --target-dir "$work/target" --tools "$tools" \
  --jobs build --matrix asset=x86_64-linux >"$work/run.log" 2>&1 ||
  { cat "$work/run.log"; fail "the build job of release.yml failed"; }
# The steps, and how zig-build.py compiled and how long it took.
grep -E '^(== |  - |compiling through ccache|ccache is not installed|built .*/tarnwick in )' "$work/run.log"
# zig's runtimes are reused only from the unchanged files of uv's cache (see run_workflow.py).
grep -qx "  - Install zig (ziglang from uv's cache)" "$work/run.log" ||
  fail "the step \"Install zig\" no longer takes ziglang from uv's cache"

files=$work/artifacts/release-x86_64-linux
archive=tarnwick-$tag-x86_64-linux.tar.gz
deb=tarnwick_${version}_amd64.deb
check "the release files" "$archive $archive.sha256 $deb $deb.sha256" \
  "$(cd "$files" && ls | tr '\n' ' ' | sed 's/ $//')"
(cd "$files" && sha256sum -c --quiet "$archive.sha256" "$deb.sha256") || fail "a .sha256 line does not match"

mkdir "$work/unpacked"
tar -xzf "$files/$archive" -C "$work/unpacked"
top=$work/unpacked/tarnwick-$tag-x86_64-linux
check "the archive's owners" "0/0" \
  "$(tar -tvzf "$files/$archive" --numeric-owner | awk '{ print $2 }' | sort -u)"
[[ -x "$top/bin/tarnwick" ]] || fail "no bin/tarnwick in the archive"
check "the archived binary's version" "tarnwick $version" "$("$top/bin/tarnwick" --version)"
floor=$("$python" -c '
import sys; sys.path.insert(0, sys.argv[1]); import check_cross
print(check_cross.glibc_floor_problem("x86_64-linux-gnu.2.17", sys.stdin.read()) or "within glibc 2.17")
' "$source_dir/tests/platform" < <(objdump -T "$top/bin/tarnwick"))
check "the binary's glibc floor" "within glibc 2.17" "$floor"
cmp -s "$top/bin/tarnwick" <(dpkg-deb --fsys-tarfile "$files/$deb" | tar -xO ./usr/bin/tarnwick) ||
  fail "the .deb's binary is not the archive's"
check "the .deb's architecture and package" "amd64 tarnwick" \
  "$(dpkg-deb -f "$files/$deb" Architecture) $(dpkg-deb -f "$files/$deb" Package)"

# The formula from the release files; the other systems' archives are not built here, so their
# SHA-256 lines are stand-ins.
for asset in aarch64-linux aarch64-macos x86_64-macos; do
  mkdir -p "$work/artifacts/release-$asset"
  printf '%064d  tarnwick-%s-%s.tar.gz\n' 0 "$tag" "$asset" \
    >"$work/artifacts/release-$asset/tarnwick-$tag-$asset.tar.gz.sha256"
done
"$python" -I "$source_dir/scripts/homebrew-formula.py" "$tag" acme/tarnwick \
  "$work/artifacts" >"$work/tarnwick.rb"
ruby -c "$work/tarnwick.rb" >/dev/null || fail "the formula is not valid Ruby"
sha=$(cut -d ' ' -f 1 "$files/$archive.sha256")
probe=$(ruby "$here/own_formula_probe.rb" "$work/tarnwick.rb" "$top" "$work/prefix" 2>&1) ||
  { echo "$probe"; fail "the formula does not install from the archive"; }
echo "$probe"
check "the formula's Linux x86_64 archive" \
  "url https://github.com/acme/tarnwick/releases/download/$tag/$archive $sha" \
  "$(grep '^url ' <<<"$probe")"
grep -qx "bin bin/tarnwick" <<<"$probe" || fail "the formula does not install bin/tarnwick"
for shell in bash zsh fish; do
  grep -q "^$shell share/" <<<"$probe" || fail "the formula installs no $shell completion"
done
check "the formula's test" "test ok" "$(grep '^test ' <<<"$probe")"
echo "rehearsed tarnwick's own release (x86_64 Linux) in ${SECONDS} s"

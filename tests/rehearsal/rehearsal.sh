#!/usr/bin/env bash
# Rehearses a generated project's first release on this machine, with the workflows' own steps:
# `tarnwick new demo` pushed to a local stand-in for github.com/acme/demo, `tarnwick secrets`
# through the fake gh's store, a real sshd serving the tap acme/homebrew-tap to the deploy keys
# registered there, then ci.yml and release.yml run by run_workflow.py at tag v0.1.0. Checks the
# formula the release pushed, that a tag disagreeing with Cargo.toml stops the release before
# anything is published, that releases can be run again (a re-run of v0.1.0 changes nothing,
# v0.1.1 moves the tap, a late v0.1.0 does not move it back nor become Latest, v0.2.0-rc.1 leaves
# it alone, a rebuilt asset that differs from the published one is refused), that after a second
# `tarnwick secrets` only the new key can push, that v1.0.0+build-7 reaches the tap, that modules
# planted in the checkout are never imported, and that a manual run from feature/x packs valid
# archive names.
# The release path is the real one where this machine allows: maturin (with zig, for
# manylinux2014) builds the host wheel, its binary goes into the archive and through the glibc
# floor check; without PyPI, cargo-zigbuild builds for glibc 2.17; `uv build --sdist` and
# `uv publish` go to a local pypiserver, whose re-runs skip what it has and refuse a changed
# file; the crates registry's API is a local stand-in that has a version, lacks it, or cannot be
# reached. A binary built without zig must fail the floor check.
# Usage: rehearsal.sh TARNWICK_BINARY CARGO_TARGET_DIR CARGO_HOME TOOLS_DIR (as the acceptance
# suite's: the machine's target directory and cargo home, build/test-tools)
# Exit 0 passed, 1 failed (an unreachable registry or missing test tools included, named), 77
# skipped (cargo, ruby, sshd or a mount namespace unavailable; a failure under CI=true, see
# tests/support/prerequisite.sh).
set -u
usage="usage: rehearsal.sh TARNWICK_BINARY CARGO_TARGET_DIR CARGO_HOME TOOLS_DIR"
tarnwick=$(realpath "${1:?$usage}")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
started=$SECONDS

source "$source_dir/tests/support/prerequisite.sh"
skip() { missing_prerequisite "$@"; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # check DESCRIPTION EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then echo "ok: $1"; else fail "$1"; diff <(echo "$2") <(echo "$3"); fi
}

# The toolchain as the user's environment gives it, even under a replaced HOME.
export RUSTUP_HOME=${RUSTUP_HOME:-$HOME/.rustup}
cargo_bin=$(dirname "$(command -v cargo || echo "${CARGO_HOME:-$HOME/.cargo}/bin/cargo")")
[[ -x "$cargo_bin/cargo" ]] && "$cargo_bin/cargo" --version >/dev/null 2>&1 || skip "cargo is not installed"
"$cargo_bin/cargo" clippy --version >/dev/null 2>&1 || skip "clippy is not installed"
command -v ruby >/dev/null || skip "ruby is not installed (scripts/install-deps.sh)"
"$python" -c "import yaml" 2>/dev/null || skip "python3-yaml is not installed (scripts/install-deps.sh)"
[[ -x /usr/sbin/sshd ]] || skip "sshd is not installed (openssh-server, scripts/install-deps.sh)"
unshare -m --propagation private true 2>/dev/null || skip "cannot make a mount namespace (needs root)"
tools=$(realpath -m "${4:?$usage}")
for tool in maturin uv pypi-server; do
  [[ -x "$tools/venv/bin/$tool" ]] || { echo "FAIL: $tools/venv/bin/$tool is missing (scripts/install-deps.sh test)"; exit 1; }
done

target_dir=$(realpath -m "${2:?$usage}")
# One run at a time in the machine's shared target directory (tests/registry/shared_target.sh).
source "$source_dir/tests/registry/shared_target.sh"
hold_shared_target "$target_dir" "$0" "$@"

# Not under /tmp: every workflow step sees its job's own directory as /tmp.
work=$(mktemp -d "${REHEARSAL_TMPDIR:-/var/tmp}/tarnwick-rehearsal.XXXXXX")
sshd_pid=""
# REHEARSAL_KEEP=1 keeps the work directory for a look after a failure.
pypi_pid="" crates_pid=""
cleanup() {
  local pid
  for pid in "$sshd_pid" "$pypi_pid" "$crates_pid"; do [[ -n "$pid" ]] && kill "$pid" 2>/dev/null; done
  [[ -n "${REHEARSAL_KEEP:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT

# uv's cache of this machine, found before HOME is replaced.
uv_cache=$("$tools/venv/bin/uv" cache dir) || { echo "FAIL: uv cache dir"; exit 1; }
export HOME=$work/home GIT_CONFIG_NOSYSTEM=1
mkdir -p "$HOME" "$work/bin"
printf '[user]\n\tname = Rehearsal Tester\n\temail = rehearsal@example.com\n' > "$HOME/.gitconfig"
cargo_home=$(realpath -m "${3:?$usage}")
PATH="$cargo_bin:$PATH" bash "$source_dir/tests/registry/cargo_home.sh" "$cargo_home" || exit 1
export CARGO_HOME=$cargo_home
# Downloads that every job would repeat (maturin for uv's sdist build, cargo-zigbuild and zig)
# come from the machine's uv cache, as a runner's tool cache would give them; uv still asks
# PyPI for each version. zig's files are then the same files in every run, so zig builds its
# runtimes once, not once per run.
export UV_CACHE_DIR=$uv_cache PIP_CACHE_DIR=$work/pip-cache
# A runner's home is the same for every job; here each job has its own. The zig linker wrappers
# that maturin and cargo-zigbuild write under the cache directory are named in every rustc
# command line, so a cache directory per job would rebuild every dependency in every job: one
# kept beside the target directory lets them compile once.
export XDG_CACHE_HOME=$target_dir.cache
mkdir -p "$XDG_CACHE_HOME"
# The one departure from the generated profile: the rehearsal's seven release builds link
# without LTO (the acceptance suite builds the profile as written). What the rehearsal proves,
# the wheel, the archive made from its binary, the glibc floor and the uploads, does not depend
# on it; a binary without LTO keeps every symbol reference, so its floor is if anything higher.
export CARGO_PROFILE_RELEASE_LTO=false CARGO_PROFILE_RELEASE_CODEGEN_UNITS=16
# A copy, not a link: every job sees its own /tmp, which hides a source tree under /tmp.
cp "$source_dir/tests/fakes/gh" "$work/bin/gh"
export PATH="$work/bin:$cargo_bin:$PATH"
export FAKE_GH_STORE=$work/gh-store
unset FAKE_GH_LOG FAKE_GH_SCENARIO

# --- 1. the project on its stand-in for github.com, and the tap -----------------------------
# An article first, a full stop last and the word VERSION: Homebrew's rules and the formula's
# writer are both exercised.
(cd "$work" && "$tarnwick" new demo --owner acme --description "A widget counter that bumps VERSION files." -o text) ||
  { echo "FAIL: tarnwick new"; exit 1; }
hosted=$work/hosted/acme/demo.git
git init -q --bare "$hosted"
git -C "$work/demo" ls-files --error-unmatch Cargo.lock >/dev/null 2>&1 ||
  fail "Cargo.lock is not in the first commit"
git -C "$work/demo" remote add origin "$hosted"
git -C "$work/demo" tag v0.1.0
git -C "$work/demo" tag v0.2.0 # disagrees with Cargo.toml's 0.1.0
git -C "$work/demo" push -q origin main v0.1.0 v0.2.0

served=$work/served # sshd serves only what is under here: the tap
tap=$served/acme/homebrew-tap.git
git init -q --bare -b main "$tap"
git clone -q "$tap" "$work/tap-seed" 2>/dev/null
echo "# acme/homebrew-tap" > "$work/tap-seed/README.md"
git -C "$work/tap-seed" add README.md
git -C "$work/tap-seed" commit -qm "Start the tap"
git -C "$work/tap-seed" push -q origin main
tap_start=$(git -C "$tap" rev-parse main)

# --- 2. sshd on 127.0.0.1, accepting exactly the deploy keys registered on the tap ----------
port=$("$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/sshd"
ssh-keygen -q -t ed25519 -N '' -f "$work/sshd/host_key"
cat > "$work/sshd/config" <<EOF
ListenAddress 127.0.0.1:$port
HostKey $work/sshd/host_key
AuthorizedKeysFile $work/sshd/authorized_keys
PidFile none
UsePAM no
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
EOF
# The store is what the fake gh keeps: the keys added and not deleted, with their write flag.
sync_keys() {
  : > "$work/sshd/authorized_keys"
  local pub restrict
  for pub in "$FAKE_GH_STORE"/deploy-keys/acme%homebrew-tap/*.pub; do
    [[ -e "$pub" ]] || continue
    restrict=""
    [[ "$(cat "${pub%.pub}.write")" == true ]] || restrict='GIT_READ_ONLY=1 '
    printf 'restrict,command="cd %s && %sexec %s" %s\n' "$served" "$restrict" \
      "$here/serve_git.sh" "$(cat "$pub")" >> "$work/sshd/authorized_keys"
  done
}
sync_keys
unshare -m --propagation private sh -c \
  'mount -t tmpfs tmpfs /run && mkdir /run/sshd && exec /usr/sbin/sshd -D -e -f "$0"' \
  "$work/sshd/config" 2> "$work/sshd/log" &
sshd_pid=$!
for _ in $(seq 50); do
  /usr/bin/ssh-keyscan -p "$port" -t ed25519 127.0.0.1 >/dev/null 2>&1 && break
  sleep 0.1
done
/usr/bin/ssh-keyscan -p "$port" -t ed25519 127.0.0.1 >/dev/null 2>&1 || { cat "$work/sshd/log"; skip "sshd did not start"; }

# Shims route github.com to that sshd; the workflow text stays as generated. ssh reads keys
# from the passwd home, so point it at $HOME/.ssh, where a runner's ~/.ssh would be. The
# workflow writes GitHub's published host keys, which this sshd cannot present: the shim checks
# the stand-in's own host key, as github.com, instead.
echo "github.com $(cat "$work/sshd/host_key.pub")" > "$work/sshd/known_hosts"
cat > "$work/bin/ssh-keyscan" <<EOF
#!/bin/bash
args=()
for a in "\$@"; do [[ "\$a" == github.com ]] && a=127.0.0.1; args+=("\$a"); done
/usr/bin/ssh-keyscan -p $port "\${args[@]}" | sed 's/^\[127\.0\.0\.1\]:$port /github.com /'
EOF
cat > "$work/bin/ssh" <<EOF
#!/bin/bash
args=()
for a in "\$@"; do [[ "\$a" == git@github.com ]] && a=root@127.0.0.1; args+=("\$a"); done
exec /usr/bin/ssh -F /dev/null -p $port -o HostKeyAlias=github.com -o BatchMode=yes \\
  -o StrictHostKeyChecking=yes -o UserKnownHostsFile="$work/sshd/known_hosts" \\
  -o GlobalKnownHostsFile=/dev/null -o IdentitiesOnly=yes -i "\$HOME/.ssh/id_ed25519" "\${args[@]}"
EOF
# The crates registry is not this machine's to ask (a crate named demo exists there): its sparse
# index answers 404, as for a crate never published, so the release publishes.
cat > "$work/bin/curl" <<'EOF'
#!/bin/bash
for a in "$@"; do [[ "$a" == https://index.crates.io/* ]] && { echo "curl: (22) 404 (rehearsal)" >&2; exit 22; }; done
exec /usr/bin/curl "$@"
EOF
chmod +x "$work/bin/ssh-keyscan" "$work/bin/ssh" "$work/bin/curl"
hash -r

# --- 2b. a local package index and the crates registry's stand-in ---------------------------
free_port() { "$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
pypi_port=$(free_port)
mkdir -p "$work/pypi-packages"
"$tools/venv/bin/pypi-server" run -i 127.0.0.1 -p "$pypi_port" -a . -P . "$work/pypi-packages" \
  2>"$work/pypi.log" &
pypi_pid=$!
pypi=http://127.0.0.1:$pypi_port
mkdir -p "$work/crates"
"$python" "$here/crates_standin.py" "$work/crates" "$work/crates.port" 2>"$work/crates.log" &
crates_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/crates.port" ]] && curl -fs "$pypi/simple/" >/dev/null 2>&1 && break
  sleep 0.1
done
curl -fs "$pypi/simple/" >/dev/null || { cat "$work/pypi.log"; echo "FAIL: pypiserver did not start"; exit 1; }
crates_port=$(cat "$work/crates.port")
# The registry's API and index go to the stand-in, or to a closed port while
# $work/crates-unreachable exists; every other URL is left alone.
cat > "$work/bin/curl" <<EOF
#!/bin/bash
port=$crates_port
[[ -e "$work/crates-unreachable" ]] && port=9
args=()
for a in "\$@"; do
  case "\$a" in
    https://crates.io/*) a="http://127.0.0.1:\$port/\${a#https://crates.io/}" ;;
    https://index.crates.io/*) a="http://127.0.0.1:\$port/index/\${a#https://index.crates.io/}" ;;
  esac
  args+=("\$a")
done
exec /usr/bin/curl "\${args[@]}"
EOF
# `cargo owner --list` asks the registry's API too: a crate the stand-in has is this project's,
# owned by the repository's owner, as after its first publish.
real_cargo=$(command -v cargo)
cat > "$work/bin/cargo" <<EOF
#!/bin/bash
if [[ "\$1" == owner && "\$2" == --list ]]; then
  [[ -e "$work/crates-unreachable" ]] && { echo "error: failed to get owners (unreachable)" >&2; exit 101; }
  [[ -d "$work/crates/\$3" ]] && { echo "acme (Acme)"; exit 0; }
  echo "error: crate \$3 not found" >&2; exit 101
fi
exec "$real_cargo" "\$@"
EOF
chmod +x "$work/bin/curl" "$work/bin/cargo"
hash -r

# --- 3. the release secrets -----------------------------------------------------------------
secrets_dir=$FAKE_GH_STORE/secrets/acme%demo
CARGO_REGISTRY_TOKEN=cargo-token-1 PYPI_API_TOKEN=pypi-token-1 "$tarnwick" secrets acme/demo -o text ||
  { echo "FAIL: tarnwick secrets"; exit 1; }
sync_keys
check "secrets stored" "CARGO_REGISTRY_TOKEN HOMEBREW_TAP_DEPLOY_KEY PYPI_API_TOKEN" \
  "$(ls "$secrets_dir" | tr '\n' ' ' | sed 's/ $//')"
first_key=$(cat "$secrets_dir/HOMEBREW_TAP_DEPLOY_KEY")

# --- 4. the workflows at tag v0.1.0 ---------------------------------------------------------
run_workflow() { # run_workflow NAME WORKFLOW TAG [run_workflow.py options]
  local name=$1 file=$2 tag=$3
  shift 3
  local run_started=$SECONDS
  echo "=== $name: $file at $tag $*"
  "$python" "$here/run_workflow.py" "${project:-$work/demo}/.github/workflows/$file" \
    --ref "refs/tags/$tag" --repo "${project_repo:-$hosted}" --repository "acme/${project_name:-demo}" \
    --secrets "$secrets_dir" --artifacts "$work/$name/artifacts" --work "$work/$name/jobs" \
    --target-dir "${project_target:-$target_dir}" --tools "$tools" --pypi "$pypi" "$@" 2>&1 |
    tee "$work/$name.log"
  echo "=== $name done in $((SECONDS - run_started))s"
}
results() { sed -n 's/^RESULT //p' "$work/$1.log" | tr '\n' ' ' | sed 's/ $//'; }

run_workflow ci ci.yml v0.1.0
check "ci.yml jobs" "lint success test success msrv success all-checks-passed success" "$(results ci)"

run_workflow release release.yml v0.1.0
check "release.yml jobs at v0.1.0" "test success build success sdist success publish-crates success publish-pypi success github-release success attest success update-homebrew success" "$(results release)"
# published: whether `cargo publish --dry-run` packaged, verified and came to the upload of VERSION.
published() { grep -q "^ *Uploading demo v$2 (" "$work/$1.log" && echo yes || echo no; }
check "crate packaged, verified and uploaded (dry run)" yes "$(published release 0.1.0)"

# --- 4b. the real wheel, the archive made from its binary, the uploads -----------------------
host=x86_64-unknown-linux-gnu
# floor BINARY: the newest glibc symbol version the binary needs, as the workflow reads it.
floor() { objdump -T "$1" | { grep -o 'GLIBC_[0-9.]*' || true; } | sort -uV | tail -1; }
within_217() { [[ "$(printf '%s\n' "$1" GLIBC_2.17 | sort -V | tail -1)" == GLIBC_2.17 ]]; }
wheel=$(ls "$work/release/artifacts/wheel-$host/"*.whl 2>/dev/null)
check "maturin's host wheel" "demo-0.1.0-py3-none-manylinux2014_x86_64.manylinux_2_17_x86_64.whl" \
  "$(basename "${wheel:-none}")"
if [[ -n "$wheel" ]]; then
  unzip -p "$wheel" demo-0.1.0.data/scripts/demo >"$work/wheel-binary"
  tar -xzOf "$work/release/artifacts/release-$host/demo-v0.1.0-$host.tar.gz" demo >"$work/archive-binary"
  cmp -s "$work/wheel-binary" "$work/archive-binary" || fail "the host archive's binary is not the wheel's"
  wheel_floor=$(floor "$work/wheel-binary")
  within_217 "$wheel_floor" && echo "ok: the wheel's binary needs $wheel_floor" ||
    fail "the wheel's binary needs $wheel_floor, newer than glibc 2.17"
fi
grep -q "The binary needs GLIBC_2\." "$work/release.log" || fail "\"Check the glibc floor\" did not run on the binary"
# Four wheels (three of them placeholders for what cannot be built here) and the sdist.
pypi_files() { ls "$work/pypi-packages" | tr '\n' ' ' | sed 's/ $//'; }
check "the local index after v0.1.0" "demo-0.1.0-py3-none-macosx_10_12_x86_64.whl demo-0.1.0-py3-none-macosx_11_0_arm64.whl demo-0.1.0-py3-none-manylinux2014_x86_64.manylinux_2_17_x86_64.whl demo-0.1.0-py3-none-manylinux_2_17_aarch64.manylinux2014_aarch64.whl demo-0.1.0.tar.gz" \
  "$(pypi_files)"
cmp -s "$wheel" "$work/pypi-packages/$(basename "$wheel")" || fail "the index's host wheel is not the one built"
# From now on the registry has demo 0.1.0, as after a real publish.
mkdir -p "$work/crates/demo" && touch "$work/crates/demo/0.1.0"

# --- 5. the formula the release pushed ------------------------------------------------------
artifacts=$work/release/artifacts
targets="x86_64-unknown-linux-gnu aarch64-unknown-linux-gnu aarch64-apple-darwin x86_64-apple-darwin"
for t in $targets; do
  archive=$artifacts/release-$t/demo-v0.1.0-$t.tar.gz
  [[ -f "$archive" && -f "$archive.sha256" ]] || fail "archive for $t missing"
  (cd "$(dirname "$archive")" && sha256sum -c --quiet "$(basename "$archive").sha256") ||
    fail "$t: .sha256 does not match its archive"
done
sha() { sha256sum "$artifacts/release-$1/demo-v0.1.0-$1.tar.gz" | cut -d' ' -f1; }
check "the tap got one new commit" "$tap_start Update demo to v0.1.0" \
  "$(git -C "$tap" log -1 --format='%P %s' main)"
git -C "$tap" show main:Formula/demo.rb > "$work/demo.rb" || { fail "Formula/demo.rb not in the tap"; rm "$work/demo.rb"; }
check "ruby -c Formula/demo.rb" "Syntax OK" "$(ruby -c "$work/demo.rb" 2>&1)"
mkdir -p "$work/unpacked" "$work/prefix"
tar -xzf "$artifacts/release-x86_64-unknown-linux-gnu/demo-v0.1.0-x86_64-unknown-linux-gnu.tar.gz" -C "$work/unpacked"
url=https://github.com/acme/demo/releases/download/v0.1.0
check "the host archive's files" "LICENSE README.md demo" \
  "$(tar -tzf "$artifacts/release-x86_64-unknown-linux-gnu/demo-v0.1.0-x86_64-unknown-linux-gnu.tar.gz" | tr '\n' ' ' | sed 's/ $//')"
expected="class Demo
desc Widget counter that bumps VERSION files
homepage https://github.com/acme/demo
license MIT
audit desc ok
url macos arm $url/demo-v0.1.0-aarch64-apple-darwin.tar.gz $(sha aarch64-apple-darwin)
url macos intel $url/demo-v0.1.0-x86_64-apple-darwin.tar.gz $(sha x86_64-apple-darwin)
url linux arm $url/demo-v0.1.0-aarch64-unknown-linux-gnu.tar.gz $(sha aarch64-unknown-linux-gnu)
url linux intel $url/demo-v0.1.0-x86_64-unknown-linux-gnu.tar.gz $(sha x86_64-unknown-linux-gnu)
install demo
prefix LICENSE
completions bash zsh fish
test ok"
check "the formula as Homebrew would read it" "$expected" \
  "$(ruby "$here/formula_probe.rb" "$work/demo.rb" "$work/unpacked" "$work/prefix" 2>"$work/probe.err")"
[[ -s "$work/probe.err" ]] && { echo "formula probe's stderr:"; cat "$work/probe.err"; }
release_dir=$FAKE_GH_STORE/releases/acme%demo/v0.1.0
check "the GitHub release is published, not a pre-release" "false no" \
  "$(cat "$release_dir/draft") $([[ -e "$release_dir/prerelease" ]] && echo yes || echo no)"
check "the GitHub release's assets" 9 "$(ls "$release_dir/assets" | wc -l)"
(cd "$release_dir/assets" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match the assets"

# --- 5b. releases run again ----------------------------------------------------------------
tap_formula() { git -C "$tap" show main:Formula/demo.rb | sha256sum; }
all_success="test success build success sdist success publish-crates success publish-pypi success github-release success attest success update-homebrew success"
tap_v010=$(git -C "$tap" rev-parse main)
formula_v010=$(tap_formula)
index_v010=$(cd "$work/pypi-packages" && sha256sum -- *)
run_workflow rerun release.yml v0.1.0
check "a re-run of v0.1.0" "$all_success" "$(results rerun)"
check "the re-run uploads nothing to the index" "$index_v010" "$(cd "$work/pypi-packages" && sha256sum -- *)"
check "uv publish skips the index's files" 5 "$(grep -c 'already exists, skipping' "$work/rerun.log")"
grep -q '::notice::demo 0.1.0 is already on crates.io, owned by acme; skipping.' "$work/rerun.log" ||
  fail "the re-run does not skip the crate the registry has"
check "the re-run does not publish the crate again" no "$(published rerun 0.1.0)"
check "the re-run left the tap as it was" "$tap_v010" "$(git -C "$tap" rev-parse main)"
check "the re-run's formula is byte-identical" "$formula_v010" "$(tap_formula)"
for t in $targets; do
  cmp -s "$artifacts/release-$t/demo-v0.1.0-$t.tar.gz" "$work/rerun/artifacts/release-$t/demo-v0.1.0-$t.tar.gz" ||
    fail "$t: the re-run's archive differs from the first"
done

bump() { # bump VERSION: as a user releases by hand: Cargo.toml and Cargo.lock, commit, tag, push
  sed -i "0,/^version = .*/s//version = \"$1\"/" "$work/demo/Cargo.toml"
  (cd "$work/demo" && cargo update -p demo --offline -q) || fail "cargo update for $1"
  git -C "$work/demo" commit -qam "Release $1" && git -C "$work/demo" tag "v$1" &&
    git -C "$work/demo" push -q origin main "v$1" || fail "commit and tag v$1"
}
bump 0.1.1
# With the registry's API unreachable the step cannot know, so it goes on to `cargo publish`,
# which is the one to refuse a version the registry already has.
touch "$work/crates-unreachable"
run_workflow v011 release.yml v0.1.1
rm "$work/crates-unreachable"
check "release.yml jobs at v0.1.1" "$all_success" "$(results v011)"
check "with the registry's API unreachable, the crate is published" yes "$(published v011 0.1.1)"
check "v0.1.1's files on the index" 5 "$(ls "$work/pypi-packages" | grep -c -- '-0\.1\.1[-.]')"
check "v0.1.1 moved the tap" "$tap_v010 Update demo to v0.1.1" "$(git -C "$tap" log -1 --format='%P %s' main)"
tap_v011=$(git -C "$tap" rev-parse main)
latest_file=$FAKE_GH_STORE/latest/acme%demo
check "v0.1.1 is the Latest release" v0.1.1 "$(cat "$latest_file")"

# --- 5c. a late v0.1.0 whose GitHub release is gone: published again, never Latest -----------
rm -rf "$FAKE_GH_STORE/releases/acme%demo/v0.1.0"
# What a re-run builds is what the first run built (the re-run above proves the archives
# byte-identical), so the late run and the changed-asset run below take the builds of the run
# they repeat and run only the jobs that publish.
publishing=publish-crates,publish-pypi,github-release,attest,update-homebrew
publishing_success="publish-crates success publish-pypi success github-release success attest success update-homebrew success"
reuse_builds() { mkdir -p "$work/$2" && cp -R "$work/$1/artifacts" "$work/$2/artifacts"; }
reuse_builds release late
run_workflow late release.yml v0.1.0 --jobs "$publishing"
check "a late re-run of v0.1.0" "$publishing_success" "$(results late)"
check "a late v0.1.0 leaves the tap at v0.1.1" "$tap_v011" "$(git -C "$tap" rev-parse main)"
grep -q 'newer than 0\.1\.0' "$work/late.log" || fail "the late re-run does not say why the tap was left alone"
check "the late v0.1.0 release is published again" false "$(cat "$FAKE_GH_STORE/releases/acme%demo/v0.1.0/draft")"
check "the late v0.1.0 is not Latest" v0.1.1 "$(cat "$latest_file")"

bump 0.2.0-rc.1
run_workflow rc release.yml v0.2.0-rc.1
check "release.yml jobs at v0.2.0-rc.1" "$all_success" "$(results rc)"
check "v0.2.0-rc.1 leaves the tap alone" "$tap_v011" "$(git -C "$tap" rev-parse main)"
check "v0.2.0-rc.1 is a published GitHub pre-release" "false yes" \
  "$(cat "$FAKE_GH_STORE/releases/acme%demo/v0.2.0-rc.1/draft") $([[ -e "$FAKE_GH_STORE/releases/acme%demo/v0.2.0-rc.1/prerelease" ]] && echo yes || echo no)"

# --- 5c. a file on the index with other content under the same name -------------------------
mkdir -p "$work/changed"
cp -R "$work/release/artifacts" "$work/changed/artifacts"
"$python" - "$work/changed/artifacts/wheel-$host/$(basename "$wheel")" <<'PY'
import os, sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as old, zipfile.ZipFile(path + ".new", "w") as new:
    for info in old.infolist():
        new.writestr(info, old.read(info.filename))
    new.writestr("demo-0.1.0.dist-info/CHANGED", "rebuilt with other content\n")
os.replace(path + ".new", path)
PY
index_before=$(cd "$work/pypi-packages" && sha256sum -- *)
run_workflow changed release.yml v0.1.0 --jobs publish-pypi
check "a changed file under an existing name fails the PyPI job" "publish-pypi failure" "$(results changed)"
grep -q "Local file and index file do not match for \`$(basename "$wheel")\`" "$work/changed.log" ||
  fail "the failure does not name the file that differs"
check "the index keeps its file" "$index_before" "$(cd "$work/pypi-packages" && sha256sum -- *)"

# --- 5d. a re-run whose rebuilt asset differs from the published one ------------------------
# As if the published v0.1.1 came from another build: the re-run must refuse to replace it.
published=$FAKE_GH_STORE/releases/acme%demo/v0.1.1/assets
changed=demo-v0.1.1-x86_64-unknown-linux-gnu.tar.gz
printf 'an earlier build\n' > "$published/$changed"
(cd "$published" && sha256sum "$changed" > "$changed.sha256" &&
  { grep -v " $changed\$" SHA256SUMS; cat "$changed.sha256"; } | sort -k 2 > SHA256SUMS.new &&
  mv SHA256SUMS.new SHA256SUMS)
published_before=$(cd "$published" && sha256sum ./*)
tap_before=$(git -C "$tap" rev-parse main)
reuse_builds v011 changed-asset
run_workflow changed-asset release.yml v0.1.1 --jobs "$publishing"
check "a re-run of v0.1.1 with one asset changed" "publish-crates success publish-pypi success github-release failure attest success update-homebrew skipped" "$(results changed-asset)"
check "the published v0.1.1 is untouched" "$published_before" "$(cd "$published" && sha256sum ./*)"
check "the tap is untouched by the refused re-run" "$tap_before" "$(git -C "$tap" rev-parse main)"
grep -q "these assets differ from the ones just built: $changed\. .*cut a new version" "$work/changed-asset.log" ||
  fail "the refusal does not name $changed and say to cut a new version"

# --- 6. a tag that disagrees with Cargo.toml ------------------------------------------------
tap_after=$(git -C "$tap" rev-parse main)
run_workflow mismatch release.yml v0.2.0
check "release.yml jobs at v0.2.0" "test failure build skipped sdist skipped publish-crates skipped publish-pypi skipped github-release skipped attest skipped update-homebrew skipped" "$(results mismatch)"
check "the tap is untouched by v0.2.0" "$tap_after" "$(git -C "$tap" rev-parse main)"
check "nothing uploaded for v0.2.0" "" "$(ls "$work/mismatch/artifacts")"
grep -q 'v0\.2\.0.*[^v]0\.1\.0' "$work/mismatch.log" ||
  fail "no message names both the tag v0.2.0 and the manifest's version 0.1.0"

# --- 7. rotation: a second `tarnwick secrets` ------------------------------------------------
CARGO_REGISTRY_TOKEN=cargo-token-1 PYPI_API_TOKEN=pypi-token-1 "$tarnwick" secrets acme/demo -o text ||
  fail "second tarnwick secrets"
sync_keys
second_key=$(cat "$secrets_dir/HOMEBREW_TAP_DEPLOY_KEY")
check "one deploy key left on the tap" 1 "$(gh repo deploy-key list -R acme/homebrew-tap --json id | grep -o '"id"' | wc -l)"
[[ "$first_key" != "$second_key" ]] || fail "the deploy key did not change"
as_runner() { # as_runner HOME KEY: a runner home holding KEY as the workflow writes it
  mkdir -p "$1/.ssh" && printf '%s\n' "$2" > "$1/.ssh/id_ed25519" && chmod 600 "$1/.ssh/id_ed25519"
  HOME=$1 ssh-keyscan -t ed25519 github.com > "$1/.ssh/known_hosts" 2>/dev/null
}
as_runner "$work/old-runner" "$first_key"
as_runner "$work/new-runner" "$second_key"
HOME=$work/new-runner git clone -q git@github.com:acme/homebrew-tap.git "$work/rotated" ||
  fail "the new key cannot clone the tap"
echo rotated > "$work/rotated/ROTATED" && git -C "$work/rotated" add ROTATED &&
  git -C "$work/rotated" commit -qm "Push after rotation"
if HOME=$work/old-runner git -C "$work/rotated" push -q origin main 2>"$work/old-push.err"; then
  fail "the first key can still push after rotation"
else
  grep -q 'Permission denied' "$work/old-push.err" && echo "ok: the first key is refused" ||
    { fail "the first key failed for another reason"; cat "$work/old-push.err"; }
fi
HOME=$work/new-runner git -C "$work/rotated" push -q origin main || fail "the new key cannot push"
check "the new key's push reached the tap" "$(git -C "$work/rotated" rev-parse HEAD)" \
  "$(git -C "$tap" rev-parse main)"

# --- 8. build metadata, with modules planted in the checkout ---------------------------------
# Each planted module leaves a marker when imported: the workflows' Python must never import
# from the checkout. (Not json, hashlib or zipfile: the registry's jsonschema stand-in runs
# python3 in the project for the conformance test, and imports those itself.)
marker=$work/planted-marker
for module in tomllib gzip tarfile glob; do
  printf 'open("%s", "w").close()\n' "$marker" > "$work/demo/$module.py"
  git -C "$work/demo" add "$module.py"
done
bump 1.0.0+build-7
run_workflow build7 release.yml v1.0.0+build-7
check "release.yml jobs at v1.0.0+build-7" "$all_success" "$(results build7)"
check "v1.0.0+build-7 reached the tap" "Update demo to v1.0.0+build-7" "$(git -C "$tap" log -1 --format=%s main)"
check "v1.0.0+build-7 is a published release, not a pre-release, and Latest" "false no v1.0.0+build-7" \
  "$(cat "$FAKE_GH_STORE/releases/acme%demo/v1.0.0+build-7/draft") $([[ -e "$FAKE_GH_STORE/releases/acme%demo/v1.0.0+build-7/prerelease" ]] && echo yes || echo no) $(cat "$latest_file")"

# --- 9. a manual run from a branch whose name holds a slash ---------------------------------
git -C "$work/demo" checkout -q -b feature/x && git -C "$work/demo" push -q origin feature/x ||
  fail "push the branch feature/x"
echo "=== manual: release.yml from feature/x (workflow_dispatch, inputs at their defaults)"
"$python" "$here/run_workflow.py" "$work/demo/.github/workflows/release.yml" --ref refs/heads/feature/x \
  --dispatch --repo "$hosted" --repository acme/demo --secrets "$secrets_dir" \
  --artifacts "$work/manual/artifacts" --work "$work/manual/jobs" --target-dir "$target_dir" \
  --tools "$tools" --pypi "$pypi" 2>&1 |
  tee "$work/manual.log"
check "a manual dry run from feature/x" "test success build success sdist success publish-crates success publish-pypi success github-release skipped attest skipped update-homebrew skipped" "$(results manual)"
for t in $targets; do
  check "the $t archive of feature/x" "demo-feature-x-$t.tar.gz demo-feature-x-$t.tar.gz.sha256" \
    "$(ls "$work/manual/artifacts/release-$t" 2>/dev/null | tr '\n' ' ' | sed 's/ $//')"
done
check "no planted module was imported" absent "$([[ -e "$marker" ]] && echo present || echo absent)"

# --- 8. without PyPI: cargo-zigbuild; and a wheel built without zig ---------------------------
(cd "$work" && "$tarnwick" new plain --owner acme --no-pypi -o text >/dev/null) || fail "tarnwick new plain --no-pypi"
plain_hosted=$work/hosted/acme/plain.git
git init -q --bare "$plain_hosted"
git -C "$work/plain" remote add origin "$plain_hosted"
git -C "$work/plain" tag v0.1.0
git -C "$work/plain" push -q origin main v0.1.0
# cargo-zigbuild links through wrappers of its own, not maturin's: in the target directory the
# other builds use, each would find every dependency built for another linker and rebuild it, on
# every run. It has a directory of its own inside the one this run holds.
project=$work/plain project_repo=$plain_hosted project_name=plain project_target=$target_dir/zigbuild \
  run_workflow plain release.yml v0.1.0 --jobs build
check "the build job without PyPI" "build success" "$(results plain)"
grep -q "cargo zigbuild" "$work/plain/jobs/build-$host/"step*.out.sh 2>/dev/null ||
  fail "the build without PyPI did not run cargo zigbuild"
tar -xzOf "$work/plain/artifacts/release-$host/plain-v0.1.0-$host.tar.gz" plain >"$work/plain-binary" ||
  fail "no host archive without PyPI"
plain_floor=$(floor "$work/plain-binary")
within_217 "$plain_floor" && echo "ok: the zigbuild binary needs $plain_floor" ||
  fail "the zigbuild binary needs $plain_floor, newer than glibc 2.17"

# A wheel whose binary was built without zig (the ci test job's, linked against this machine's
# glibc) must fail the floor check: the real wheel with that binary in place of its own.
nozig_wheel=$work/nozig/$(basename "$wheel")
mkdir -p "$work/nozig"
"$python" - "$wheel" "$nozig_wheel" "$target_dir/debug/demo" <<'PY'
import sys, zipfile
source, dest, binary = sys.argv[1:]
with zipfile.ZipFile(source) as old, zipfile.ZipFile(dest, "w") as new:
    for info in old.infolist():
        data = old.read(info.filename)
        if ".data/scripts/" in info.filename:
            data = open(binary, "rb").read()
        new.writestr(info, data)
PY
nozig_floor=$(floor "$target_dir/debug/demo")
within_217 "$nozig_floor" && fail "the binary built without zig needs only $nozig_floor: it proves nothing"
run_workflow nozig release.yml v0.1.0 --jobs build --host-wheel "$nozig_wheel"
check "a wheel built without zig fails the build job" "build failure" "$(results nozig)"
grep -q "::error::The binary needs $nozig_floor, newer than the glibc 2.17 the release promises." "$work/nozig.log" ||
  fail "the wheel built without zig did not fail at the glibc floor"

if [[ $failures -ne 0 ]]; then echo "--- sshd log"; cat "$work/sshd/log"; fi
echo "rehearsal: $((SECONDS - started))s, $failures failure(s)"
[[ $failures -eq 0 ]]

#!/usr/bin/env bash
# Times tarnwick against peers doing comparable work, side by side in one hyperfine run per
# pair, and prints the median ratios and the peak memory of `new`.
# Usage: bench/run.sh [TARNWICK_BINARY]   (default: build/release/tarnwick)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-$here/../build/release/tarnwick}")
command -v hyperfine >/dev/null || { echo "bench: hyperfine is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home GIT_CONFIG_NOSYSTEM=1
mkdir -p "$HOME" "$work/run"
printf '[user]\n\tname = Bench Mark\n\temail = bench@example.com\n' > "$HOME/.gitconfig"
# rustup's cargo needs its own home, whatever HOME says.
export RUSTUP_HOME=${RUSTUP_HOME:-/root/.rustup} CARGO_HOME=${CARGO_HOME:-/root/.cargo}
cargo=$(command -v cargo || echo "$CARGO_HOME/bin/cargo")
cd "$work/run"
hf=(hyperfine --style basic --warmup 5 --export-json)

echo "tarnwick: $bin"
echo

# 1. Start-up: a read-only command against a process that does nothing.
"${hf[@]}" "$work/startup.json" --runs 300 -N '/bin/true' "$bin check demo" >/dev/null
python3 "$here/ratios.py" "$work/startup.json" "start-up: tarnwick check demo vs /bin/true" 1.1

# 2. Scaffolding without git or cargo against `cargo new --vcs none`.
PATH=/usr/bin:/bin "${hf[@]}" "$work/scaffold.json" --runs 100 -N \
  --prepare 'rm -rf demo' \
  "$cargo new --vcs none --quiet demo" \
  "$bin new demo --no-git --author 'A <a@b.c>' -o json" >/dev/null
python3 - "$work/scaffold.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cargo, tw = r[0]["median"], r[1]["median"]
print("scaffolding: tarnwick new --no-git (no cargo on PATH) vs cargo new --vcs none")
print(f"  {cargo*1000:9.3f} ms  {r[0]['command']}\n  {tw*1000:9.3f} ms  {r[1]['command']}")
ratio = tw / cargo
print(f"  ratio {ratio:.3f} (target <= 0.1): {'meets' if ratio <= 0.1 else 'misses'} the target\n")
PY

# 2b. The same scaffolding against copying the tree it writes (`cp -r`): the floor of writing
#     those files at all.
"$bin" new rendered --no-git --author 'A <a@b.c>' -o json --into "$work" >/dev/null
PATH=/usr/bin:/bin "${hf[@]}" "$work/copy.json" --runs 200 -N --prepare 'rm -rf demo' \
  "cp -r $work/rendered demo" \
  "$bin new demo --no-git --author 'A <a@b.c>' -o json" >/dev/null
python3 "$here/ratios.py" "$work/copy.json" \
  "scaffolding: tarnwick new --no-git (no cargo on PATH) vs cp -r of the same tree" 1.1

# 3. Overhead: the full `new` against a script that runs the same children on the same files.
files=$(cd "$work/rendered" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
cat > "$work/same-children.sh" <<SH
#!/bin/sh
set -e
git config user.name >/dev/null
git config user.email >/dev/null
cp -R "\$1" demo
cd demo
cargo fmt >/dev/null 2>&1 || true
lock=
if CARGO_NET_RETRY=0 cargo generate-lockfile --offline >/dev/null 2>&1 ||
   CARGO_NET_RETRY=0 cargo generate-lockfile >/dev/null 2>&1; then lock=Cargo.lock; fi
git init -q
git add -- $files \$lock
git -c user.name='Bench Mark' -c user.email=bench@example.com commit -q -m 'chore: scaffold demo with tarnwick'
git branch -M main
SH
chmod +x "$work/same-children.sh"
"${hf[@]}" "$work/overhead.json" --runs 30 -N --prepare 'rm -rf demo' \
  "$work/same-children.sh $work/rendered" "$bin new demo -o json" >/dev/null
python3 "$here/ratios.py" "$work/overhead.json" \
  "overhead: tarnwick new demo vs a script running the same children" 1.05

# 4. `update` of a project made by an earlier tarnwick (the template set of 0.1.6, rendered by
#    the same rules, committed, then edited, so the base is adopted from its first commit)
#    against a script running the same git and cargo commands on the same repository.
python3 - "$here/../template-sets/0.1.6" "$work/earlier" <<'PY'
import pathlib, sys, time
src, dst = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
year = str(1970 + int(time.time()) // 31556952)
values = [("{{name_snake}}", "demo"), ("{{name_pascal}}", "Demo"), ("{{name}}", "demo"),
          ("{{description}}", "A demo tool."), ("{{owner}}", "acme"),
          ("{{author}}", "Bench Mark <bench@example.com>"), ("{{year}}", year)]
for path in src.rglob("*.tmpl"):
    text = "".join(l for l in path.read_text().splitlines(True)
                   if l.strip() not in ("{{#pypi}}", "{{/pypi}}"))
    for key, value in values:
        text = text.replace(key, value)
    out = dst / str(path.relative_to(src))[:-5]
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_text(text)
PY
(
  cd "$work/earlier"
  git init -q -b main && git add -A && git commit -q -m 'chore: scaffold demo with tarnwick'
  printf '\nA paragraph of my own.\n' >> README.md
  printf '\npub fn mine() -> u8 {\n    7\n}\n' >> src/lib.rs
  git add -A && git commit -q -m 'my edits'
)
# The renders update makes: the first commit's set again (the base), and today's (the target).
"$bin" new demo --no-git --owner acme --author 'Bench Mark <bench@example.com>' \
  --description 'A demo tool.' -o json --into "$work/pristine" >/dev/null
mkdir "$work/base" && git -C "$work/earlier" archive HEAD~1 | tar -x -C "$work/base"
rm -f "$work/pristine/demo/Cargo.lock"
sed -i "s/^year = .*/year = \"$(awk -F'[ )]' '/Copyright/ {print $3; exit}' "$work/earlier/LICENSE")\"/" \
  "$work/pristine/demo/.tarnwick.toml"
cat > "$work/update-children.sh" <<SH
#!/bin/sh
set -e
cd demo
repo=\$PWD
git --version >/dev/null
git rev-parse --path-format=absolute --show-toplevel --git-dir --git-common-dir --show-prefix >/dev/null
GIT_OPTIONAL_LOCKS=0 git status --porcelain=v2 --branch --untracked-files=no -z >/dev/null
GIT_OPTIONAL_LOCKS=0 git ls-files -v -z -- "\$PWD" >/dev/null
printf 'HEAD:.tarnwick.toml\nHEAD:Cargo.toml\n' | git cat-file --batch-check >/dev/null
git cat-file blob HEAD:.tarnwick.toml >/dev/null 2>&1 || true
git rev-parse --is-shallow-repository >/dev/null
first=\$(git rev-list --reverse --topo-order HEAD -- . | head -1)
git ls-tree -r -z --name-only "\$first:" >/dev/null
scratch=\$(mktemp -d)
GIT_INDEX_FILE="\$scratch/first.index" git -c core.hooksPath=/dev/null read-tree "\$first:"
GIT_INDEX_FILE="\$scratch/first.index" git -c core.hooksPath=/dev/null checkout-index -f --prefix="\$scratch/first/" -a
cp -R "$work/base" "\$scratch/base"
cp -R "$work/pristine/demo" "\$scratch/target"
mkdir "\$scratch/rustfmt" && : > "\$scratch/rustfmt/rustfmt.toml"
for side in base target; do
  cargo fmt --manifest-path "\$scratch/\$side/Cargo.toml" -- --config-path "\$scratch/rustfmt" >/dev/null 2>&1 || true
done
git ls-tree -r -z --name-only HEAD: >/dev/null
git var GIT_COMMITTER_IDENT >/dev/null
engine="\$scratch/engine.git"
git init -q --bare --template= "\$engine"
head=\$(git rev-parse HEAD)
echo "\$head^{tree}" | GIT_DIR="\$engine" GIT_ALTERNATE_OBJECT_DIRECTORIES="\$repo/.git/objects" \
  git pack-objects --revs -q "\$engine/objects/pack/pack" >/dev/null
head_tree=\$(git rev-parse "\$head^{tree}")
for side in base target; do
  files=\$(cd "\$scratch/\$side" && find . -type f | sed 's|^\./||')
  tree=\$(cd "\$scratch/\$side" && export GIT_DIR="\$engine" GIT_WORK_TREE="\$scratch/\$side" \
    GIT_INDEX_FILE="\$scratch/\$side.index" && git -c core.hooksPath=/dev/null add -f -- \$files &&
    git -c core.hooksPath=/dev/null write-tree)
  eval "\${side}_tree=\$tree"
done
export GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@localhost GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@localhost
b=\$(GIT_DIR="\$engine" git commit-tree --no-gpg-sign "\$base_tree" -m base)
o=\$(GIT_DIR="\$engine" git commit-tree --no-gpg-sign "\$head_tree" -p "\$b" -m ours)
t=\$(GIT_DIR="\$engine" git commit-tree --no-gpg-sign "\$target_tree" -p "\$b" -m theirs)
printf 'update refs/heads/main %s\nupdate refs/heads/tarnwick %s\n' "\$o" "\$t" | GIT_DIR="\$engine" git update-ref --stdin
merged=\$(GIT_DIR="\$engine" GIT_WORK_TREE="\$repo" GIT_INDEX_FILE="\$scratch/none" git merge-tree --write-tree --no-messages -z main tarnwick | tr '\0' '\n' | head -1)
GIT_DIR="\$engine" git diff-tree -r -z --no-renames --name-status "\$head_tree" "\$merged" >/dev/null
(cd "\$engine/objects" && find . -path './??/*' -type f | while read -r f; do
  [ -e "\$repo/.git/objects/\$f" ] || { mkdir -p "\$repo/.git/objects/\${f%/*}"; cp "\$f" "\$repo/.git/objects/\$f"; }
done)
cp .git/index "\$scratch/apply.index"
GIT_INDEX_FILE="\$scratch/apply.index" git -c core.hooksPath=/dev/null read-tree -i -m "\$head_tree" "\$merged"
printf '%s\n' "\$head" > .git/MERGE_HEAD
echo 'chore: update demo' > .git/MERGE_MSG
cp "\$scratch/apply.index" .git/index.lock && mv .git/index.lock .git/index
git diff --cached --name-only -z "\$head" | git -c core.hooksPath=/dev/null checkout-index -f -u -z --stdin
printf '%s\n' "\$head" > .git/ORIG_HEAD
git commit -q --no-edit --no-verify
git rev-parse HEAD >/dev/null
rm -rf "\$scratch"
SH
chmod +x "$work/update-children.sh"
# With -N the prepare step runs without a shell too, hence a script.
printf '#!/bin/sh\nrm -rf demo && cp -R "%s" demo\n' "$work/earlier" > "$work/reset-demo.sh"
chmod +x "$work/reset-demo.sh"
"${hf[@]}" "$work/update.json" --runs 30 -N --prepare "$work/reset-demo.sh" \
  "$work/update-children.sh" "$bin update demo -o json" >/dev/null
python3 "$here/ratios.py" "$work/update.json" \
  "update: tarnwick update vs a script running the same git and cargo commands" 1.5

# 5. Peak memory of `new`. /usr/bin/time reports the largest of a process and the children it
#    waited for, so tarnwick alone is measured on a run that starts no child; the full run
#    shows the largest child (rustfmt under cargo fmt).
rm -rf demo
own=$( { PATH=/usr/bin:/bin /usr/bin/time -v "$bin" new demo --no-git --author 'A <a@b.c>' -o json >/dev/null; } 2>&1 |
      awk -F': ' '/Maximum resident set size/ {print $2}')
rm -rf demo
full=$( { /usr/bin/time -v "$bin" new demo -o json >/dev/null; } 2>&1 | awk -F': ' '/Maximum resident set size/ {print $2}')
echo "peak memory: tarnwick new (no children): ${own} KiB resident (target < 4096 KiB)"
echo "peak memory: full tarnwick new, largest of tarnwick and its children: ${full} KiB"

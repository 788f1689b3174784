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

# 4. `update` of a project made by an earlier tarnwick (the template tree kept in
#    tests/fixtures/earlier_templates, rendered by the same rules, committed, then edited)
#    against a script running the same git and cargo commands on the same repository.
python3 - "$here/../tests/fixtures/earlier_templates" "$work/earlier" <<'PY'
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
"$bin" new demo --no-git --owner acme --author 'Bench Mark <bench@example.com>' \
  --description 'A demo tool.' -o json --into "$work/pristine" >/dev/null
pristine_files=$(cd "$work/pristine/demo" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
cat > "$work/update-children.sh" <<SH
#!/bin/sh
set -e
cd demo
git rev-parse --path-format=absolute --show-toplevel --git-dir --git-common-dir >/dev/null
GIT_OPTIONAL_LOCKS=0 git status --porcelain=v2 --branch --untracked-files=no -z >/dev/null
git log --topo-order '--grep=^Tarnwick-Render: ' \
  '--format=%H%x1f%T%x1f%(trailers:key=Tarnwick-Render,valueonly,separator=%x2C)%x1e' HEAD >/dev/null
git rev-list --max-parents=0 '--format=%H%x1f%T%x1f%s' HEAD >/dev/null
root=\$(git rev-list --max-parents=0 HEAD)
printf '%s\n' "\$root:Cargo.toml" "\$root:LICENSE" "\$root:pyproject.toml" "\$root:Cargo.lock" |
  git cat-file --batch >/dev/null
scratch=\$(mktemp -d)
cp -R "$work/pristine/demo" "\$scratch/render"
(cd "\$scratch/render" && cargo fmt >/dev/null 2>&1 || true)
export GIT_DIR=\$PWD/.git GIT_WORK_TREE="\$scratch/render" GIT_INDEX_FILE="\$scratch/index"
(cd "\$scratch/render" && git add -f -- $pristine_files)
tree=\$(cd "\$scratch/render" && git write-tree)
unset GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE
render=\$(git -c user.name='Bench Mark' -c user.email=bench@example.com commit-tree "\$tree" -p "\$root" \
  -m 'chore: tarnwick render of demo' -m 'Tarnwick-Render: 0')
git var GIT_COMMITTER_IDENT >/dev/null
head=\$(git rev-parse HEAD)
git merge --no-ff --no-edit --no-verify --no-verify-signatures --no-autostash -m 'chore: update demo' "\$render" >/dev/null
git rev-parse HEAD >/dev/null
git diff --name-only --no-renames -z "\$head" HEAD >/dev/null
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

#!/usr/bin/env bash
# The checkout's project, as a repository of its own: the files git tracks, in their work-tree
# versions (an edit not yet committed is rehearsed too), committed on a fresh `main`. Nothing
# else in the checkout comes along: not a project that `make run ARGS="new demo"` wrote, not a
# nested repository, build output or a scratch file, tracked or ignored or neither.
# Usage: tracked_tree.sh SOURCE_DIR DEST_DIR MESSAGE
set -euo pipefail
source_dir=$(cd "${1:?usage: tracked_tree.sh SOURCE_DIR DEST_DIR MESSAGE}" && pwd)
dest=${2:?usage: tracked_tree.sh SOURCE_DIR DEST_DIR MESSAGE}
message=${3:?usage: tracked_tree.sh SOURCE_DIR DEST_DIR MESSAGE}

git init -q -b main "$dest"
# A tracked file deleted in the work tree is left out, as a commit of the work tree would.
(cd "$source_dir" && git ls-files -z --cached |
  while IFS= read -r -d '' f; do [[ -e "$f" || -L "$f" ]] && printf '%s\0' "$f"; done |
  xargs -0 -r cp -P --parents -t "$(cd "$dest" && pwd)")
git -C "$dest" add -A
git -C "$dest" -c user.name=rehearsal -c user.email=rehearsal@example.invalid \
  commit -qm "$message"

# Sourced by the scripts that build generated projects in a shared, kept cargo target
# directory. Cargo fingerprints registry crates by version, not by content, so a changed
# stand-in crate would not be rebuilt: the directory is emptied whenever the stand-ins change.
# Scripts sharing the directory may run at once (cargo locks it while it builds); the check
# and the emptying happen under a lock of their own.
prepare_target_dir() {
  local target=$1 registry stamp
  registry=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  stamp=$( (cd "$registry" && find thiserror jsonschema -type f -print0 | sort -z |
    xargs -0 sha256sum) | sha256sum | cut -d' ' -f1)
  mkdir -p "$(dirname "$target")"
  (
    flock 9
    if [ "$(cat "$target/.standins" 2>/dev/null)" != "$stamp" ]; then
      rm -rf "$target"
    fi
    mkdir -p "$target"
    printf '%s\n' "$stamp" >"$target/.standins"
  ) 9>"$target.lock"
}

# Sourced by the acceptance suite and the release rehearsal, which build generated projects in
# one cargo target directory kept for the whole machine, so each dependency compiles once per
# machine and version, not once per checkout.
#
# hold_shared_target DIR SCRIPT [ARG...]: runs SCRIPT again with its arguments while holding
# the lock DIR.lock, and never returns; in that second run it returns at once. Every checkout's
# suites build projects of the same names there, so one holder at a time means no run sees
# another's binaries or loses its own to a `cargo clean -p`. The lock is held by flock itself,
# not by the script: a server or agent the script leaves behind cannot keep it. A directory
# grown past TARNWICK_TARGET_LIMIT_MB (default 8192: old crate versions pile up as the registry
# moves) is emptied first, under the lock, and the next build compiles everything once more.
hold_shared_target() {
  local dir=$1 limit_mb=${TARNWICK_TARGET_LIMIT_MB:-8192} used_mb
  shift
  if [[ ${TARNWICK_HOLDING_TARGET:-} != "$dir" ]]; then
    mkdir -p "$dir" || exit 1
    command -v flock >/dev/null || { echo "FAIL: flock is not installed (util-linux)"; exit 1; }
    flock -n "$dir.lock" true ||
      echo "waiting for $dir.lock: another run is building in the shared target directory"
    TARNWICK_HOLDING_TARGET=$dir exec flock -o "$dir.lock" bash "$@"
  fi
  unset TARNWICK_HOLDING_TARGET
  used_mb=$(du -sm "$dir" 2>/dev/null | cut -f1)
  if [[ ${used_mb:-0} -gt $limit_mb ]]; then
    echo "emptying $dir: ${used_mb} MB is over ${limit_mb} MB"
    find "$dir" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  fi
}

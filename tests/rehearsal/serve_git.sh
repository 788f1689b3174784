#!/bin/sh
# sshd's forced command for a deploy key: git's own shell, in the directory that holds the
# served repositories. A read-only key (GIT_READ_ONLY=1) may fetch but not push.
case "$SSH_ORIGINAL_COMMAND" in
  git-receive-pack*)
    if [ "${GIT_READ_ONLY:-}" = 1 ]; then
      echo "ERROR: this deploy key is read-only" >&2
      exit 1
    fi ;;
esac
exec git-shell -c "$SSH_ORIGINAL_COMMAND"

// Waiting on descriptors with the signal mask replaced for the wait alone, so that signals kept
// blocked everywhere else (the termination signals, while they are caught) can end it, with no
// window between unblocking them and starting to wait.
#pragma once

#include <poll.h>
#include <signal.h>

#include <ctime>

#if !defined(__linux__) && !defined(__APPLE__)
#error "tarnwick builds for Linux and macOS"
#endif

namespace tarnwick {

// As ppoll(2): waits until one of the n descriptors is ready, the timeout has passed (null: no
// limit) or a signal arrives (-1, EINTR), with the signal mask set to *mask during the wait
// (null: left as it is). Linux waits with ppoll; macOS, which has none, with poll_by_select.
int poll_with_mask(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask);

// poll_with_mask through pselect(2), which every POSIX system has. Only POLLIN and POLLOUT are
// asked for; a descriptor ready to read (data, the end of a file, a hang-up or an error) gets
// POLLIN in revents, one ready to write (room, or a reader gone) POLLOUT. A descriptor at or
// above FD_SETSIZE cannot be waited on: EINVAL. Compiled on every system, so it is tested where
// the tests run and not only where it is used.
int poll_by_select(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask);

}  // namespace tarnwick

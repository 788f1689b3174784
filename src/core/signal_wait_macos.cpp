#if defined(__APPLE__)

#include "core/signal_wait.hpp"

namespace tarnwick {

// macOS has no ppoll; its pselect sets the mask for the wait alone, as POSIX asks.
int poll_with_mask(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask) {
    return poll_by_select(fds, n, timeout, mask);
}

}  // namespace tarnwick

#endif

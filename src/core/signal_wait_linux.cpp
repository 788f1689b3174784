#if defined(__linux__)

#include "core/signal_wait.hpp"

namespace tarnwick {

int poll_with_mask(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask) {
    return ::ppoll(fds, n, timeout, mask);
}

}  // namespace tarnwick

#endif

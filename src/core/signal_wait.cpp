#include "core/signal_wait.hpp"

#include <sys/select.h>

#include <algorithm>
#include <cerrno>

namespace tarnwick {

int poll_by_select(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    int highest = -1;
    for (nfds_t i = 0; i < n; ++i) {
        fds[i].revents = 0;
        if (fds[i].fd < 0) continue;  // as poll: a negative descriptor is left out
        if (fds[i].fd >= FD_SETSIZE) {
            errno = EINVAL;
            return -1;
        }
        if (fds[i].events & POLLIN) FD_SET(fds[i].fd, &readable);
        if (fds[i].events & POLLOUT) FD_SET(fds[i].fd, &writable);
        highest = std::max(highest, fds[i].fd);
    }
    const int ready = ::pselect(highest + 1, &readable, &writable, nullptr, timeout, mask);
    if (ready <= 0) return ready;
    int count = 0;
    for (nfds_t i = 0; i < n; ++i) {
        if (fds[i].fd < 0) continue;
        if (FD_ISSET(fds[i].fd, &readable)) fds[i].revents |= POLLIN;
        if (FD_ISSET(fds[i].fd, &writable)) fds[i].revents |= POLLOUT;
        if (fds[i].revents != 0) ++count;
    }
    return count;
}

}  // namespace tarnwick

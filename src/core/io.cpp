#include "core/io.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "core/signal_wait.hpp"
#include "core/termination_signals.hpp"
#include "core/text.hpp"

namespace tarnwick {

std::string OsError::text() const {
    std::string what = code == kWriteZero     ? "failed to write whole buffer"
                       : code == kInvalidUtf8 ? "stream did not contain valid UTF-8"
                                              : os_error_text(code);
    return context.empty() ? what : context + ": " + what;
}

void Fd::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Result<Fd, OsError> open_fd(const std::string& path, int flags, int mode) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) return OsError{errno};
    return Fd(fd);
}

OsStatus write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return OsError{errno};
        }
        if (n == 0) return OsError{OsError::kWriteZero};
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return Ok{};
}

Result<std::string, OsError> read_all(int fd, std::size_t limit) {
    std::string bytes;
    char buf[65536];
    while (true) {
        // One byte past the limit is asked for, so that an input of exactly limit bytes is
        // told from a longer one. bytes.size() <= limit here, and room cannot wrap, not even
        // for a limit of SIZE_MAX.
        const std::size_t left = limit - bytes.size();
        const std::size_t room = left < sizeof buf ? left + 1 : sizeof buf;
        // While termination signals are caught they are blocked; a read that may wait (a
        // terminal, a pipe) waits with them unblocked, so that one ends it.
        if (const sigset_t* mask = termination_wait_mask()) {
            pollfd p{fd, POLLIN, 0};
            if (poll_with_mask(&p, 1, nullptr, mask) < 0) {
                if (errno != EINTR) return OsError{errno};
                if (caught_termination_signal() != 0) return OsError{EINTR};
                continue;
            }
        }
        ssize_t n = ::read(fd, buf, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
            }
            return OsError{errno};
        }
        if (n == 0) return bytes;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > limit) return OsError{EFBIG};
    }
}

Result<std::string, OsError> read_utf8(int fd, std::size_t limit) {
    auto bytes = read_all(fd, limit);
    if (bytes && !is_valid_utf8(*bytes)) return OsError{OsError::kInvalidUtf8};
    return bytes;
}

}  // namespace tarnwick

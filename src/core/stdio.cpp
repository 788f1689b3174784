#include "core/stdio.hpp"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/text.hpp"

namespace tarnwick {

int write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return kWriteZero;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string write_error_text(int err) {
    return err == kWriteZero ? std::string("failed to write whole buffer") : os_error_text(err);
}

void print_or_die(int fd, std::string_view data, std::string_view stream_name) {
    int err = write_all(fd, data);
    if (err == 0) return;
    if (fd != STDERR_FILENO) {
        std::string diag =
            "failed printing to " + std::string(stream_name) + ": " + write_error_text(err) + "\n";
        (void)write_all(STDERR_FILENO, diag);
    }
    ::_exit(1);
}

void ensure_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0) ::_exit(1);
        if (opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

}  // namespace tarnwick

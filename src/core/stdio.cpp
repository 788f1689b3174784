#include "core/stdio.hpp"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/text.hpp"

namespace tarnwick {

void print_or_die(int fd, std::string_view data, std::string_view stream_name) {
    auto written = write_all(fd, data);
    if (written) return;
    if (fd != STDERR_FILENO) {
        (void)write_all(STDERR_FILENO, "failed printing to " + std::string(stream_name) + ": " +
                                           written.error().text() + "\n");
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

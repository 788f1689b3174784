#include "core/stdio.hpp"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>

namespace tarnwick {

void print_or_die(std::string_view data) {
    if (!write_all(STDERR_FILENO, data)) ::_exit(1);
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

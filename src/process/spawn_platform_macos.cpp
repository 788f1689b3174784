#if defined(__APPLE__)

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "process/spawn_platform.hpp"

namespace tarnwick {

// macOS has no pipe2. The program starts children from one thread and every spawn closes the
// descriptors its file actions do not name (platform_spawn_flags), so no child can inherit an
// end in the moment before FD_CLOEXEC is set.
OsStatus make_cloexec_pipe(int (&fds)[2]) {
    if (::pipe(fds) != 0) return OsError{errno};
    for (const int fd : fds) {
        if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
            const int error = errno;
            ::close(fds[0]);
            ::close(fds[1]);
            return OsError{error};
        }
    }
    return Ok{};
}

// No O_PATH: a directory the child may change to but not list cannot be opened for it.
int working_directory_open_flags() {
    return O_RDONLY | O_DIRECTORY;
}

short platform_spawn_flags() {
    return POSIX_SPAWN_CLOEXEC_DEFAULT;
}

// posix_spawn_file_actions_addfchdir_np needs macOS 10.15; the program is built for 11.0.
int spawn_in_directory(pid_t* pid, const char* program, posix_spawn_file_actions_t* actions,
                       const posix_spawnattr_t* attr, char* const argv[], char* const envp[],
                       int dir_fd) {
    if (dir_fd >= 0) {
        if (const int rc = ::posix_spawn_file_actions_addfchdir_np(actions, dir_fd); rc != 0)
            return rc;
    }
    return ::posix_spawnp(pid, program, actions, attr, argv, envp);
}

// No process descriptors: the runner polls for the child's exit.
int open_exit_descriptor(pid_t) {
    errno = ENOSYS;
    return -1;
}

}  // namespace tarnwick

#endif

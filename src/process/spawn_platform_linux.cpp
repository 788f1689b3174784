#if defined(__linux__)

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "process/spawn_platform.hpp"

namespace tarnwick {

OsStatus make_cloexec_pipe(int (&fds)[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) return OsError{errno};
    return Ok{};
}

int working_directory_open_flags() {
    return O_PATH | O_DIRECTORY;
}

short platform_spawn_flags() {
    return 0;
}

namespace {

using AddFchdir = int (*)(posix_spawn_file_actions_t*, int);

// posix_spawn_file_actions_addfchdir_np came with glibc 2.29. Built for an older floor (the
// release archives are linked for 2.17), the program looks for it in the C library it runs on.
AddFchdir add_fchdir() {
#if __GLIBC_PREREQ(2, 29)
    return ::posix_spawn_file_actions_addfchdir_np;
#else
    static const auto found =
        reinterpret_cast<AddFchdir>(::dlsym(RTLD_DEFAULT, "posix_spawn_file_actions_addfchdir_np"));
    return found;
#endif
}

// Without the file action, the program changes its own directory around the spawn and back:
// it starts children from one thread only, so nothing else sees the change.
int spawn_from_directory(pid_t* pid, const char* program, posix_spawn_file_actions_t* actions,
                         const posix_spawnattr_t* attr, char* const argv[], char* const envp[],
                         int dir_fd) {
    const int here = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (here < 0) return errno;
    if (::fchdir(dir_fd) != 0) {
        const int error = errno;
        ::close(here);
        return error;
    }
    const int rc = ::posix_spawnp(pid, program, actions, attr, argv, envp);
    // Every relative path of the rest of the run would otherwise name the wrong file.
    if (::fchdir(here) != 0) std::abort();
    ::close(here);
    return rc;
}

}  // namespace

int spawn_in_directory(pid_t* pid, const char* program, posix_spawn_file_actions_t* actions,
                       const posix_spawnattr_t* attr, char* const argv[], char* const envp[],
                       int dir_fd) {
    if (dir_fd >= 0) {
        const AddFchdir add = add_fchdir();
        if (add == nullptr)
            return spawn_from_directory(pid, program, actions, attr, argv, envp, dir_fd);
        if (const int rc = add(actions, dir_fd); rc != 0) return rc;
    }
    return ::posix_spawnp(pid, program, actions, attr, argv, envp);
}

int open_exit_descriptor(pid_t pid) {
#if defined(SYS_pidfd_open)
    // Called directly: older C libraries have no wrapper.
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace tarnwick

#endif

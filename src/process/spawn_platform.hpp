// What starting and watching a child needs from the system beyond POSIX, one definition per
// system (spawn_platform_linux.cpp, spawn_platform_macos.cpp).
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include "core/io.hpp"

namespace tarnwick {

// A pipe whose two ends are closed on exec: fds[0] reads, fds[1] writes.
OsStatus make_cloexec_pipe(int (&fds)[2]);

// The flags a working directory is opened with for the child to change to: enough to search
// it, not to read it where the system can say so.
int working_directory_open_flags();

// Flags the system adds to every spawn's attributes (macOS: only the descriptors the file
// actions name reach the child, whatever another part of the program left open).
short platform_spawn_flags();

// posix_spawnp, with the child changing to dir_fd's directory before it runs the program when
// dir_fd is open. The error is the returned code, as posix_spawnp's.
int spawn_in_directory(pid_t* pid, const char* program, posix_spawn_file_actions_t* actions,
                       const posix_spawnattr_t* attr, char* const argv[], char* const envp[],
                       int dir_fd);

// A descriptor that becomes readable when the child pid exits, or -1 with errno (ENOSYS where
// the system has no such descriptor: macOS, a Linux older than 5.3); the runner then polls for
// the child's exit.
int open_exit_descriptor(pid_t pid);

}  // namespace tarnwick

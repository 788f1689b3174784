// A seam for tests: while a hook is installed, run_child hands every call to it instead of
// starting a child. Only tests install one (see tests/support/stub_runner.hpp); the program
// itself never does, so every caller of the runner keeps its signature.
#pragma once

#include <poll.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/signal_wait.hpp"
#include "process/runner.hpp"
#include "process/spawn_platform.hpp"

namespace tarnwick {

// One call of run_child, as the hook sees it.
struct ChildCall {
    std::string program;
    std::vector<std::string> args;
    std::optional<std::string> input;  // absent: stdin would be the null device
    std::optional<std::string> dir;
    std::vector<std::string> extra_env;
    RunLimits limits = {};
};

using ChildHook = std::function<Result<ChildOutput, OsError>(const ChildCall&)>;

// Installs hook (an empty one restores real children) and returns the one it replaces.
ChildHook set_child_hook(ChildHook hook);

// The calls the runner makes to set a child up and while it runs, so a test can make one of
// them fail. The runner uses the real ones unless a test installs others.
struct RunnerIo {
    int (*poll)(pollfd*, nfds_t, const timespec*, const sigset_t*) = poll_with_mask;
    ssize_t (*read)(int, void*, std::size_t) = ::read;
    ssize_t (*write)(int, const void*, std::size_t) = ::write;
    // One step of the spawn set-up, standing for all of them (they are checked alike).
    int (*adddup2)(posix_spawn_file_actions_t*, int, int) = ::posix_spawn_file_actions_adddup2;
    // Where it fails (macOS, an older kernel, a filter), the runner polls for the child's exit.
    int (*pidfd_open)(pid_t) = open_exit_descriptor;
};

// Installs io (RunnerIo{} restores the real calls) and returns the previous one.
RunnerIo set_runner_io(RunnerIo io);

}  // namespace tarnwick

// A seam for tests: while a hook is installed, run_child hands every call to it instead of
// starting a child. Only tests install one (see tests/support/stub_runner.hpp); the program
// itself never does, so every caller of the runner is the same with and without it.
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

// How a stand-in child ended: what it wrote, and its exit status, the signal that killed it,
// or the time limit that ran out (its group killed with SIGKILL).
struct ChildEnd {
    std::string out;
    std::string err;
    int exit_code = 0;
    int signal = 0;  // nonzero: killed by this signal; exit_code is then ignored
    bool timed_out = false;
};

// What run_child reports for a child that ended so under limits, built as for a real child:
// each output cut to limits.output_cap bytes (output_cut set), decoded lossily, and a timed
// out child a failure killed by SIGKILL. For a hook, so that a stand-in's report is the
// runner's own.
ChildOutput child_output(const ChildEnd& end, const RunLimits& limits);

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

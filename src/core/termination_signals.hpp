// The signals that end the program by default and that a person or a supervisor sends to
// stop it: SIGINT, SIGTERM, SIGHUP and SIGQUIT. Code that must clean up when they arrive
// catches them for as long as there is something to clean up.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstddef>

namespace tarnwick {

inline constexpr std::array<int, 4> kTerminationSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// While one exists, each termination signal that was not ignored when it was made is blocked
// and, when it arrives, only recorded; the process runner unblocks them just while it waits for
// a child (with termination_wait_mask), stops that child when one was recorded and returns
// EINTR, and starts no child once one was. Unwinding then cleans up, and the entry point ends
// the program with the recorded signal. At most one exists at a time.
class TerminationSignalCatch {
public:
    TerminationSignalCatch();
    ~TerminationSignalCatch();
    TerminationSignalCatch(const TerminationSignalCatch&) = delete;
    TerminationSignalCatch& operator=(const TerminationSignalCatch&) = delete;

private:
    sigset_t saved_mask_;
    struct sigaction previous_[kTerminationSignals.size()];
    bool installed_[kTerminationSignals.size()];
};

// The first termination signal recorded, or 0.
int caught_termination_signal();

// Clears the recorded signal; for tests, which go on after one.
void forget_caught_termination_signal();

// The mask to wait for a child with: the one from before the signals were blocked while a
// TerminationSignalCatch exists, else null (the mask stays as it is).
const sigset_t* termination_wait_mask();

// Ends the program by sig with its default action, as if it had never been caught.
[[noreturn]] void end_with_signal(int sig);

}  // namespace tarnwick

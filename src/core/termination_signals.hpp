// The signals that end the program by default and that a person or a supervisor sends to
// stop it: SIGINT, SIGTERM, SIGHUP and SIGQUIT. Every command that starts a child catches them
// for its whole run, so that no child, grandchild or temporary directory outlives it.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <memory>

namespace tarnwick {

inline constexpr std::array<int, 4> kTerminationSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// While one exists, each termination signal that was not ignored when it was made is blocked
// and, when it arrives, only recorded. The process runner unblocks them just while it waits
// (with termination_wait_mask), stops the running child's process group when one was recorded
// and returns EINTR, and starts no child once one was recorded or is pending; read_all waits
// the same way. Unwinding then cleans up (temporary directories included), and the entry
// point ends the program with the recorded signal.
//
// At most one exists at a time: making a second one throws std::logic_error. Code that needs
// the signals caught whether or not its caller already catches them uses unless_active().
class TerminationSignalCatch {
public:
    TerminationSignalCatch();
    ~TerminationSignalCatch();
    TerminationSignalCatch(const TerminationSignalCatch&) = delete;
    TerminationSignalCatch& operator=(const TerminationSignalCatch&) = delete;

    // A new catch, or null when one exists already (that one then covers the caller).
    static std::unique_ptr<TerminationSignalCatch> unless_active();

private:
    sigset_t saved_mask_;
    struct sigaction previous_[kTerminationSignals.size()];
    bool installed_[kTerminationSignals.size()];
};

// True while a TerminationSignalCatch exists.
bool catching_termination_signals();

// The first termination signal recorded, or 0.
int caught_termination_signal();

// The recorded signal after letting one that arrived, but is still blocked and so not yet
// recorded, be recorded now; 0 when there is none. Checked before each child is started.
int take_pending_termination_signal();

// Clears the recorded signal; for tests, which go on after one.
void forget_caught_termination_signal();

// The mask to wait with: the one from before the signals were blocked while a
// TerminationSignalCatch exists, else null (the mask stays as it is).
const sigset_t* termination_wait_mask();

// Ends the program by sig with its default action, as if it had never been caught.
[[noreturn]] void end_with_signal(int sig);

}  // namespace tarnwick

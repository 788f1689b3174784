// The signals that end the program by default and that a person or a supervisor sends to
// stop it: SIGINT, SIGTERM, SIGHUP and SIGQUIT. Code that must clean up when they arrive
// blocks them around the moments where its state is half made.
#pragma once

#include <signal.h>

#include <array>

namespace tarnwick {

inline constexpr std::array<int, 4> kTerminationSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Blocks the termination signals for its lifetime; a signal that arrives meanwhile is
// delivered when the previous mask comes back.
class BlockTerminationSignals {
public:
    BlockTerminationSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kTerminationSignals) sigaddset(&set, sig);
        ::sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    BlockTerminationSignals(const BlockTerminationSignals&) = delete;
    BlockTerminationSignals& operator=(const BlockTerminationSignals&) = delete;
    ~BlockTerminationSignals() { ::sigprocmask(SIG_SETMASK, &saved_, nullptr); }

private:
    sigset_t saved_;
};

}  // namespace tarnwick

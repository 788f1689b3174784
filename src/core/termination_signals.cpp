#include "core/termination_signals.hpp"

#include <cerrno>

namespace tarnwick {
namespace {

volatile sig_atomic_t g_caught = 0;
bool g_catching = false;
sigset_t g_wait_mask;

extern "C" void record_termination_signal(int sig) {
    if (g_caught == 0) g_caught = sig;
}

}  // namespace

TerminationSignalCatch::TerminationSignalCatch() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kTerminationSignals) sigaddset(&set, sig);
    ::sigprocmask(SIG_BLOCK, &set, &saved_mask_);

    struct sigaction handler {};
    handler.sa_handler = record_termination_signal;
    handler.sa_mask = set;
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        installed_[i] = false;
        if (::sigaction(kTerminationSignals[i], nullptr, &previous_[i]) != 0) continue;
        // A signal ignored at start (a background job's SIGINT) stays ignored: it cannot end
        // the program, so there is nothing to stop for it.
        if (!(previous_[i].sa_flags & SA_SIGINFO) && previous_[i].sa_handler == SIG_IGN) continue;
        installed_[i] = ::sigaction(kTerminationSignals[i], &handler, nullptr) == 0;
    }
    g_wait_mask = saved_mask_;
    g_catching = true;
}

TerminationSignalCatch::~TerminationSignalCatch() {
    g_catching = false;
    // A signal that arrived while blocked is recorded here, as the mask comes back, before
    // the previous dispositions do.
    ::sigprocmask(SIG_SETMASK, &saved_mask_, nullptr);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        if (installed_[i]) ::sigaction(kTerminationSignals[i], &previous_[i], nullptr);
    }
}

int caught_termination_signal() {
    return g_caught;
}

void forget_caught_termination_signal() {
    g_caught = 0;
}

const sigset_t* termination_wait_mask() {
    return g_catching ? &g_wait_mask : nullptr;
}

void end_with_signal(int sig) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(sig);
    // SIGQUIT and the others end the program; this is never reached unless a signal's default
    // action was changed under us.
    ::_exit(128 + sig);
}

}  // namespace tarnwick

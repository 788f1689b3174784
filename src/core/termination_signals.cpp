#include "core/termination_signals.hpp"

#include <cerrno>
#include <stdexcept>

namespace tarnwick {
namespace {

volatile sig_atomic_t g_caught = 0;
bool g_catching = false;
sigset_t g_wait_mask;
sigset_t g_caught_set;  // the signals the active catch blocks and records

extern "C" void record_termination_signal(int sig) {
    if (g_caught == 0) g_caught = sig;
}

}  // namespace

TerminationSignalCatch::TerminationSignalCatch() {
    if (g_catching) throw std::logic_error("termination signals are already being caught");
    sigset_t all;
    sigemptyset(&all);
    for (int sig : kTerminationSignals) sigaddset(&all, sig);

    struct sigaction handler {};
    handler.sa_handler = record_termination_signal;
    handler.sa_mask = all;
    sigset_t set;
    sigemptyset(&set);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        installed_[i] = false;
        if (::sigaction(kTerminationSignals[i], nullptr, &previous_[i]) != 0) continue;
        // A signal ignored at start (a background job's SIGINT) stays ignored: it cannot end
        // the program, so there is nothing to stop for it.
        if (!(previous_[i].sa_flags & SA_SIGINFO) && previous_[i].sa_handler == SIG_IGN) continue;
        sigaddset(&set, kTerminationSignals[i]);
    }
    // Blocked before the handler is in place, so none is recorded outside a wait.
    ::sigprocmask(SIG_BLOCK, &set, &saved_mask_);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        if (!sigismember(&set, kTerminationSignals[i])) continue;
        installed_[i] = ::sigaction(kTerminationSignals[i], &handler, nullptr) == 0;
    }
    g_wait_mask = saved_mask_;
    g_caught_set = set;
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

std::unique_ptr<TerminationSignalCatch> TerminationSignalCatch::unless_active() {
    if (g_catching) return nullptr;
    return std::make_unique<TerminationSignalCatch>();
}

bool catching_termination_signals() {
    return g_catching;
}

int caught_termination_signal() {
    return g_caught;
}

int take_pending_termination_signal() {
    if (g_caught != 0 || !g_catching) return g_caught;
    sigset_t pending;
    if (::sigpending(&pending) != 0) return g_caught;
    for (int sig : kTerminationSignals) {
        if (!sigismember(&g_caught_set, sig) || !sigismember(&pending, sig)) continue;
        // Unblocking delivers it (to the recording handler) before sigprocmask returns.
        sigset_t blocked;
        ::sigprocmask(SIG_SETMASK, &g_wait_mask, &blocked);
        ::sigprocmask(SIG_SETMASK, &blocked, nullptr);
        break;
    }
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

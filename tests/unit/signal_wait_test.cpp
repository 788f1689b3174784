// Waiting on descriptors with the signal mask of the wait alone: Linux's ppoll and the pselect
// one that macOS uses, held to the same cases here, and the runner driven through the latter
// the way it runs on macOS (no process descriptor: the child's exit is polled for).
#include "core/signal_wait.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/io.hpp"
#include "process/child_hook.hpp"
#include "process/runner.hpp"
#include "process/spawn_platform.hpp"

using namespace tarnwick;

namespace {

using PollFn = int (*)(pollfd*, nfds_t, const timespec*, const sigset_t*);

const struct {
    const char* name;
    PollFn poll;
} kWaits[] = {{"poll_with_mask", poll_with_mask}, {"poll_by_select", poll_by_select}};

struct TestPipe {
    Fd read, write;
    TestPipe() {
        int fds[2];
        EXPECT_TRUE(make_cloexec_pipe(fds).ok());
        read = Fd(fds[0]);
        write = Fd(fds[1]);
    }
};

constexpr timespec kShort{0, 20'000'000};

TEST(SignalWait, ReportsWhatEachDescriptorIsReadyFor) {
    for (const auto& wait : kWaits) {
        SCOPED_TRACE(wait.name);
        TestPipe empty, full, ended;
        ASSERT_TRUE(write_all(full.write.get(), "x").ok());
        ended.write.reset();
        struct Case {
            int fd;
            short events;
            short ready;
        };
        const Case cases[] = {
            {empty.read.get(), POLLIN, 0},
            {full.read.get(), POLLIN, POLLIN},
            // The end of the input: ppoll says POLLHUP, select readable; the runner reads
            // either way and finds the end.
            {ended.read.get(), POLLIN, POLLIN | POLLHUP},
            {empty.write.get(), POLLOUT, POLLOUT},
            {-1, POLLIN, 0},  // left out
        };
        pollfd fds[std::size(cases)];
        int want = 0;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            fds[i] = {cases[i].fd, cases[i].events, static_cast<short>(0x7f)};
            want += cases[i].ready != 0;
        }
        ASSERT_EQ(wait.poll(fds, std::size(cases), &kShort, nullptr), want);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(fds[i].revents != 0, cases[i].ready != 0) << fds[i].revents;
            EXPECT_EQ(fds[i].revents & ~cases[i].ready, 0) << fds[i].revents;
        }
        pollfd none{empty.read.get(), POLLIN, 0};
        EXPECT_EQ(wait.poll(&none, 1, &kShort, nullptr), 0);
        EXPECT_EQ(none.revents, 0);
    }
}

// A signal blocked outside the wait and pending ends it at once when the wait's mask lets it
// through, and is blocked again afterwards.
volatile sig_atomic_t g_delivered = 0;

TEST(SignalWait, ASignalBlockedOutsideEndsTheWaitThatUnblocksIt) {
    struct sigaction action {
    }, previous{};
    action.sa_handler = [](int) { g_delivered = 1; };
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    sigset_t usr1, before, open_mask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ASSERT_EQ(::sigprocmask(SIG_BLOCK, &usr1, &before), 0);
    open_mask = before;
    sigdelset(&open_mask, SIGUSR1);
    for (const auto& wait : kWaits) {
        SCOPED_TRACE(wait.name);
        TestPipe idle;
        g_delivered = 0;
        ::raise(SIGUSR1);
        pollfd p{idle.read.get(), POLLIN, 0};
        const timespec long_wait{30, 0};
        // With the mask left as it is the signal stays pending and the wait times out.
        EXPECT_EQ(wait.poll(&p, 1, &kShort, nullptr), 0);
        EXPECT_EQ(g_delivered, 0);
        errno = 0;
        EXPECT_EQ(wait.poll(&p, 1, &long_wait, &open_mask), -1);
        EXPECT_EQ(errno, EINTR);
        EXPECT_EQ(g_delivered, 1);
        sigset_t now;
        ASSERT_EQ(::sigprocmask(SIG_BLOCK, nullptr, &now), 0);
        EXPECT_EQ(sigismember(&now, SIGUSR1), 1);
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    ::sigaction(SIGUSR1, &previous, nullptr);
}

TEST(SignalWait, SelectRefusesADescriptorBeyondItsSet) {
    rlimit files{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    if (files.rlim_cur <= FD_SETSIZE) GTEST_SKIP() << "no descriptor above FD_SETSIZE here";
    TestPipe p;
    const Fd high(::fcntl(p.read.get(), F_DUPFD_CLOEXEC, FD_SETSIZE));
    ASSERT_GE(high.get(), FD_SETSIZE);
    pollfd fds[] = {{p.write.get(), POLLOUT, 0}, {high.get(), POLLIN, 0}};
    errno = 0;
    EXPECT_EQ(poll_by_select(fds, 2, &kShort, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

// The runner as it runs on macOS: the pselect wait and no process descriptor. Input fed while
// more output than a pipe holds is drained, and the exit status found by polling.
TEST(SignalWait, TheRunnerWorksWithTheSelectWaitAndNoProcessDescriptor) {
    RunnerIo io;
    io.poll = poll_by_select;
    io.pidfd_open = [](pid_t) { return errno = ENOSYS, -1; };
    const RunnerIo previous = set_runner_io(io);
    const std::string input(200'000, 'i');
    auto r = run_child(
        {.program = "sh",
         .args = {"-c", "n=$(wc -c); echo $n; head -c 300000 /dev/zero | tr '\\0' o; exit 3"},
         .input = input});
    auto timed = run_child({.program = "sleep", .args = {"5"}, .limits = RunLimits{200, 0}});
    set_runner_io(previous);
    ASSERT_TRUE(r.ok()) << r.error().text();
    EXPECT_EQ(r->exit_code, 3);
    EXPECT_EQ(r->stdout_text.size(), std::string("200000\n").size() + 300'000);
    EXPECT_TRUE(r->stdout_text.starts_with("200000\n")) << r->stdout_text.substr(0, 20);
    ASSERT_TRUE(timed.ok()) << timed.error().text();
    EXPECT_TRUE(timed->timed_out);
}

}  // namespace

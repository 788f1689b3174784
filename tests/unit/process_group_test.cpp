// The runner's process boundary: each child leads its own process group and a recorded
// termination signal stops all of it, at any point of the run; a child set up halfway, or
// after a signal arrived, never starts; a working directory that cannot be entered says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "core/io.hpp"
#include "core/temporary_directory.hpp"
#include "core/termination_signals.hpp"
#include "process/child_hook.hpp"
#include "process/runner.hpp"
#include "support/files.hpp"
#include "support/processes.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

pid_t read_pid(const std::string& path) {
    std::ifstream in(path);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Catches the termination signals with SIGTERM's default disposition underneath, and forgets
// whatever was recorded on the way out.
class Catching {
public:
    Catching() : previous_(::signal(SIGTERM, SIG_DFL)) { forget_caught_termination_signal(); }
    ~Catching() {
        catch_.reset();
        forget_caught_termination_signal();
        ::signal(SIGTERM, previous_);
    }

private:
    void (*previous_)(int);
    std::unique_ptr<TerminationSignalCatch> catch_ = std::make_unique<TerminationSignalCatch>();
};

// Signals the runner from a child that started a grandchild, in each of the three ways.
void stop_child_and_grandchild() {
    const struct {
        const char* name;
        std::string before;  // run by the child before it signals the parent
    } cases[] = {
        {"output open", ""},
        {"output closed", "exec >&- 2>&-; sleep 0.2; "},
        {"SIGTERM ignored by the child", "trap '' TERM; "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tarnwick::testing::TempDir dir;
        const std::string marker = dir / "grandchild";
        {
            const Catching catching;
            auto run = run_child(
                {.program = "sh",
                 .args = {"-c",
                          c.before + "sleep 300 & echo $! >\"$1\"; kill -TERM $PPID; exec sleep 10",
                          "sh", marker}});
            ASSERT_FALSE(run.ok()) << run->stdout_text;
            EXPECT_EQ(run.error().code, EINTR);
            EXPECT_EQ(caught_termination_signal(), SIGTERM);
        }
        EXPECT_FALSE(has_unreaped_child());
        const pid_t grandchild = read_pid(marker);
        ASSERT_GT(grandchild, 0);
        EXPECT_TRUE(ends_soon(grandchild)) << grandchild;
        if (alive(grandchild)) ::kill(grandchild, SIGKILL);
    }
}

}  // namespace

// A child that started its own child, with its output open or already closed: the signal
// stops the child at once, the grandchild with it, and the run fails with EINTR. Before
// process groups the grandchild lived on; before the final wait watched for signals, the
// closed-output child was waited for to its end and the run succeeded.
TEST(ProcessGroup, ASignalStopsTheChildAndWhatItStarted) {
    for (const bool pidfd : {true, false}) {
        SCOPED_TRACE(pidfd ? "exit seen through a pidfd" : "no pidfd: exit polled for");
        RunnerIo io;
        if (!pidfd) io.pidfd_open = [](pid_t) { return errno = ENOSYS, -1; };
        const RunnerIo previous = set_runner_io(io);
        // A child that ends by itself is still waited for and reported.
        auto quick =
            run_child({.program = "sh", .args = {"-c", "exec >&- 2>&-; sleep 0.1; exit 3"}});
        EXPECT_TRUE(quick.ok() && !quick->success);
        stop_child_and_grandchild();
        set_runner_io(previous);
    }
}

// A signal that arrived while blocked, not yet recorded, and a set-up step that fails: either
// way the child never starts, and the reason is the run's error.
TEST(ProcessGroup, NoChildStartsAfterAPendingSignalOrAFailedSetUp) {
    tarnwick::testing::TempDir dir;
    const std::string marker = dir / "started";
    const std::vector<std::string> touch = {"-c", "touch \"$1\"", "sh", marker};
    {
        const Catching catching;
        ::raise(SIGTERM);
        EXPECT_EQ(caught_termination_signal(), 0) << "not blocked";
        auto run = run_child({.program = "sh", .args = touch});
        ASSERT_FALSE(run.ok());
        EXPECT_EQ(run.error().code, EINTR);
        EXPECT_EQ(caught_termination_signal(), SIGTERM);
    }
    EXPECT_FALSE(fs::exists(marker));

    RunnerIo failing;
    failing.adddup2 = [](posix_spawn_file_actions_t*, int, int) { return ENOMEM; };
    const RunnerIo previous = set_runner_io(failing);
    auto run = run_child({.program = "sh", .args = touch});
    set_runner_io(previous);
    ASSERT_FALSE(run.ok());
    EXPECT_EQ(run.error().code, ENOMEM);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_FALSE(has_unreaped_child());
    EXPECT_TRUE(run_child({.program = "sh", .args = touch}).ok());
    EXPECT_TRUE(fs::exists(marker));
}

// A working directory that cannot be entered is not a program that cannot be run.
TEST(ProcessGroup, AWorkingDirectoryThatCannotBeEnteredIsNamed) {
    tarnwick::testing::TempDir dir;
    const std::string file = dir / "file";
    std::ofstream(file) << "x";
    const struct {
        std::string dir;
        std::string reason;
    } cases[] = {
        {dir / "missing", "No such file or directory (os error 2)"},
        {file, "Not a directory (os error 20)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir);
        auto git = run_git(c.dir, {"status"});
        ASSERT_FALSE(git.ok());
        EXPECT_EQ(git.error().message(),
                  "git: could not run git: cannot change to \"" + c.dir + "\": " + c.reason);
        auto tool = run_child({.program = "pwd", .dir = c.dir});
        ASSERT_FALSE(tool.ok());
        EXPECT_EQ(tool.error().text(), "cannot change to \"" + c.dir + "\": " + c.reason);
    }
}

// One catch at a time: a second is refused, and code that needs one joins the one in place.
TEST(ProcessGroup, OneCatchAtATime) {
    {
        const Catching catching;
        EXPECT_TRUE(catching_termination_signals());
        EXPECT_THROW(TerminationSignalCatch{}, std::logic_error);
        EXPECT_EQ(TerminationSignalCatch::unless_active(), nullptr);
        auto dir = TemporaryDirectory::create("tarnwick-test-");
        ASSERT_TRUE(dir.ok());
    }
    EXPECT_FALSE(catching_termination_signals());
    auto own = TerminationSignalCatch::unless_active();
    EXPECT_NE(own, nullptr);
    EXPECT_TRUE(catching_termination_signals());
}

// A read that waits (standard input from a terminal or a pipe) ends for a termination signal
// while they are caught, instead of holding the program until the writer closes.
TEST(ProcessGroup, AWaitingReadEndsForACaughtSignal) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const Fd read_end(fds[0]), write_end(fds[1]);
    const Catching catching;
    // Started after the catch, so the thread has the signals blocked too and only the read's
    // wait can take the signal.
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(::getpid(), SIGTERM);
    });
    auto text = read_all(read_end.get(), 1024);
    sender.join();
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error().code, EINTR);
    EXPECT_EQ(caught_termination_signal(), SIGTERM);
}

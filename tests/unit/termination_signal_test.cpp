// A termination signal while a key directory exists is only recorded: the runner stops the
// child it waits for and fails with EINTR, starts nothing after that, and the directory goes
// with everything in it when its owner lets go. The program's dispositions come back after.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/termination_signals.hpp"
#include "process/runner.hpp"
#include "secrets/key_directory.hpp"
#include "support/processes.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

// Sets sig's disposition for the lifetime of the object.
class Disposition {
public:
    Disposition(int sig, void (*handler)(int)) : sig_(sig) {
        struct sigaction set {};
        set.sa_handler = handler;
        sigemptyset(&set.sa_mask);
        ::sigaction(sig, &set, &previous_);
    }
    ~Disposition() { ::sigaction(sig_, &previous_, nullptr); }

private:
    int sig_;
    struct sigaction previous_;
};

void (*current_handler(int sig))(int) {
    struct sigaction now {};
    ::sigaction(sig, nullptr, &now);
    return now.sa_handler;
}

enum class Moment { WhileAChildRuns, BetweenChildren, AfterTheLastChild };

}  // namespace

TEST(TerminationSignals, ASignalStopsTheRunAndTheKeyDirectoryGoes) {
    const struct {
        const char* name;
        Moment moment;
    } moments[] = {
        {"sent by the child while it is waited for", Moment::WhileAChildRuns},
        {"raised between two children", Moment::BetweenChildren},
        {"raised after the last child", Moment::AfterTheLastChild},
    };
    for (int sig : kTerminationSignals) {
        for (const auto& m : moments) {
            SCOPED_TRACE(signal_name(sig) + " " + m.name);
            const Disposition by_default(sig, SIG_DFL);
            std::string path;
            {
                auto made = KeyDirectory::create();
                ASSERT_TRUE(made.ok()) << made.error().message();
                const auto dir = std::move(made).value();
                path = dir->path();
                // Files no code of the key directory knows of go too.
                fs::create_directory(path + "/nested");
                std::ofstream(path + "/nested/left") << "x";
                std::ofstream(dir->private_key_path()) << "key";

                if (m.moment == Moment::WhileAChildRuns) {
                    // The child would outlive the test if the runner did not stop it.
                    auto run = run_child(
                        {.program = "sh",
                         .args = {"-c", "kill -" + std::to_string(sig) + " $PPID; exec sleep 30"}});
                    ASSERT_FALSE(run.ok());
                    EXPECT_EQ(run.error().code, EINTR);
                } else {
                    ::raise(sig);
                    EXPECT_EQ(caught_termination_signal(), 0) << "not blocked";
                }
                if (m.moment == Moment::BetweenChildren) {
                    auto run = run_child({.program = "sh", .args = {"-c", "exec sleep 30"}});
                    ASSERT_FALSE(run.ok());
                    EXPECT_EQ(run.error().code, EINTR);
                }
                if (m.moment != Moment::AfterTheLastChild) {
                    EXPECT_EQ(caught_termination_signal(), sig);
                    EXPECT_FALSE(has_unreaped_child());
                    // Once a signal is recorded nothing new starts.
                    const std::string marker = path + "/started";
                    auto next =
                        run_child({.program = "sh", .args = {"-c", "touch \"$1\"", "sh", marker}});
                    ASSERT_FALSE(next.ok());
                    EXPECT_EQ(next.error().code, EINTR);
                    EXPECT_FALSE(fs::exists(marker));
                }
            }
            EXPECT_FALSE(fs::exists(path));
            EXPECT_EQ(caught_termination_signal(), sig);
            EXPECT_EQ(current_handler(sig), SIG_DFL);
            forget_caught_termination_signal();
        }
    }
}

// A signal ignored when the directory is made (a background job's SIGINT) stays ignored: the
// child that sends it runs to its end and nothing is recorded.
TEST(TerminationSignals, ASignalIgnoredAtStartStaysIgnored) {
    forget_caught_termination_signal();
    for (int sig : kTerminationSignals) {
        SCOPED_TRACE(signal_name(sig));
        const Disposition ignored(sig, SIG_IGN);
        {
            auto made = KeyDirectory::create();
            ASSERT_TRUE(made.ok()) << made.error().message();
            auto run =
                run_child({.program = "sh",
                           .args = {"-c", "kill -" + std::to_string(sig) + " $PPID; echo done"}});
            ASSERT_TRUE(run.ok()) << run.error().text();
            EXPECT_TRUE(run->success);
            EXPECT_EQ(run->stdout_text, "done\n");
        }
        EXPECT_EQ(caught_termination_signal(), 0);
        EXPECT_EQ(current_handler(sig), SIG_IGN);
    }
}

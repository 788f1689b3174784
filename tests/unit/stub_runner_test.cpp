// The stubs that stand in for the process runner must fail a test that makes a call nobody
// expected, or leaves an expected call unmade; otherwise a flow test could pass vacuously.
#include "support/stub_runner.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <signal.h>

using namespace tarnwick;
using tarnwick::testing::output;
using tarnwick::testing::Reply;
using tarnwick::testing::StubRunner;
using tarnwick::testing::timed_out;

TEST(StubRunner, AnUnexpectedCallFailsTheTestAndIsNotStarted) {
    StubRunner runner;
    runner.expect({"git", "status"});
    EXPECT_NONFATAL_FAILURE(
        {
            auto run = run_child({.program = "git", .args = {"status", "--short"}});
            EXPECT_FALSE(run.ok());
        },
        "unexpected call: git status --short");
    EXPECT_TRUE(run_child({.program = "git", .args = {"status"}}).ok());
}

TEST(StubRunner, AnExpectedCallThatNeverCameFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            StubRunner runner;
            runner.expect({"gh", "auth", "status"});
        },
        "expected call never came: gh auth status");
}

TEST(StubRunner, EachStubAnswersOnceWildcardsMatchAndTheRealRunnerReturnsAfterwards) {
    {
        StubRunner runner;
        runner.expect({"tool", "*", "last"}, output("first"));
        runner.expect({"tool", "..."}, output("second"));
        auto a = run_child({.program = "tool", .args = {"x", "last"}});
        auto b = run_child({.program = "tool", .args = {"x", "last"}});
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_EQ(a->stdout_text, "first");
        EXPECT_EQ(b->stdout_text, "second");
    }
    // Without stubs, a program that does not exist is the runner's own start error again.
    auto real = run_child({.program = "tarnwick-no-such-program"});
    ASSERT_FALSE(real.ok());
    EXPECT_EQ(real.error().code, ENOENT);
}

// A stub's reply is reported as the runner reports a real child that ends the same way: the
// exit status, a signal, a time-out, output past the call's cap cut, bytes that are not UTF-8.
// Each case runs once for real (sh) and once against a stub, and the reports must agree.
TEST(StubRunner, ARepliedEndIsReportedAsTheRunnerReportsARealOne) {
    auto ended = [](std::string out, std::string err, int exit_code, int signal = 0) {
        Reply r;
        r.out = std::move(out);
        r.err = std::move(err);
        r.exit_code = exit_code;
        r.signal = signal;
        return r;
    };
    const struct Case {
        const char* name;
        const char* script;
        Reply reply;
        RunLimits limits;
    } cases[] = {
        {"exit 0", "printf 'v 1.2\\n'", output("v 1.2\n"), {}},
        {"exit 3", "printf out; printf bad >&2; exit 3", ended("out", "bad", 3), {}},
        {"killed", "printf 'dying\\n' >&2; kill -TERM $$", ended("", "dying\n", 0, SIGTERM), {}},
        {"timed out", "printf partial; exec sleep 30", timed_out("partial"), {200, 0}},
        {"cut at the cap", "printf abcdef; printf xyz >&2", ended("abcdef", "xyz", 0), {0, 4}},
        {"not UTF-8", "printf 'a\\377b'", output("a\377b"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto real = run_child({.program = "sh", .args = {"-c", c.script}, .limits = c.limits});
        Result<ChildOutput, OsError> stubbed = OsError{0};
        {
            StubRunner runner;
            runner.expect({"sh", "..."}, c.reply);
            stubbed = run_child({.program = "sh", .args = {"-c", c.script}, .limits = c.limits});
        }
        ASSERT_TRUE(real.ok() && stubbed.ok());
        EXPECT_EQ(stubbed->stdout_text, real->stdout_text);
        EXPECT_EQ(stubbed->stderr_text, real->stderr_text);
        EXPECT_EQ(stubbed->success, real->success);
        EXPECT_EQ(stubbed->exit_code, real->exit_code);
        EXPECT_EQ(stubbed->signal, real->signal);
        EXPECT_EQ(stubbed->stdout_was_utf8, real->stdout_was_utf8);
        EXPECT_EQ(stubbed->timed_out, real->timed_out);
        EXPECT_EQ(stubbed->output_cut, real->output_cut);
    }
}

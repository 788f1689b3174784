// The stubs that stand in for the process runner must fail a test that makes a call nobody
// expected, or leaves an expected call unmade; otherwise a flow test could pass vacuously.
#include "support/stub_runner.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace tarnwick;
using tarnwick::testing::output;
using tarnwick::testing::StubRunner;

TEST(StubRunner, AnUnexpectedCallFailsTheTestAndIsNotStarted) {
    StubRunner runner;
    runner.expect({"git", "status"});
    EXPECT_NONFATAL_FAILURE(
        {
            auto run = run_child("git", {"status", "--short"});
            EXPECT_FALSE(run.ok());
        },
        "unexpected call: git status --short");
    EXPECT_TRUE(run_child("git", {"status"}).ok());
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
        auto a = run_child("tool", {"x", "last"});
        auto b = run_child("tool", {"x", "last"});
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_EQ(a->stdout_text, "first");
        EXPECT_EQ(b->stdout_text, "second");
    }
    // Without stubs, a program that does not exist is the runner's own start error again.
    auto real = run_child("tarnwick-no-such-program", {});
    ASSERT_FALSE(real.ok());
    EXPECT_EQ(real.error().code, ENOENT);
}

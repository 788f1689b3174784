// run_git's start failure, seen through a PATH without git.
#include <gtest/gtest.h>

#include "process/runner.hpp"
#include "support/scoped_env.hpp"

TEST(RunGit, MissingGitIsCouldNotRun) {
    auto r = [] {
        tarnwick::testing::ScopedEnv no_git({{"PATH", "/nonexistent"}});
        return tarnwick::run_git("/", {"status"});
    }();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message(),
              "git: could not run git: No such file or directory (os error 2)");
    EXPECT_FALSE(r.error().hint().has_value());
}

// run_git's start failure, seen through a PATH without git.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "process/runner.hpp"

TEST(RunGit, MissingGitIsCouldNotRun) {
    std::string saved = getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    auto r = tarnwick::run_git("/", {"status"});
    setenv("PATH", saved.c_str(), 1);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message(),
              "git: could not run git: No such file or directory (os error 2)");
    EXPECT_FALSE(r.error().hint().has_value());
}

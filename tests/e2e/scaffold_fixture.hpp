// Shared set-up of the `new` and `check` end-to-end tests: a temporary HOME with a git
// identity, a working directory, and a PATH made of symlinks to chosen tools only, so a
// test decides whether git, cargo or the fake gh can be found.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answers/answers.hpp"
#include "support/harness.hpp"

namespace tarnwick::testing {

class ScaffoldRun : public ::testing::Test {
protected:
    // Tools the fake gh script needs besides itself.
    static const std::vector<std::string>& shell_tools();

    // A directory of symlinks to the named tools as found on the test's own PATH; tools
    // that are not found are left out.
    std::string tool_dir(const std::vector<std::string>& tools);

    // tarnwick in work() with PATH = the fake gh (when with_fakes) and the given tool dir.
    RunResult tarnwick(const std::vector<std::string>& args, const std::string& tools,
                       RunOptions options = {}, bool with_fakes = true);
    // tarnwick with git and the shell tools, but no cargo.
    RunResult tarnwick(const std::vector<std::string>& args, RunOptions options = {});

    // git -C dir args, in the test's environment; returns stdout.
    std::string git(const std::string& dir, const std::vector<std::string>& args);

    std::string work(const std::string& rel = "") const {
        return rel.empty() ? work_.path() : work_ / rel;
    }
    const std::string& home() const { return home_.path(); }

    TempDir home_;
    TempDir work_;
    TempDir bins_;
    int bin_count_ = 0;
};

// The 18 output paths in byte order (17 without pyproject.toml).
std::vector<std::string> sorted_project_files(bool pypi = true);

std::string json_string_list(const std::vector<std::string>& items);

// The answers of a demo project by acme, as `new` would take them.
Answers demo_answers(bool pypi = true);

}  // namespace tarnwick::testing

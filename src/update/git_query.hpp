// git runs whose output the update reads, in one place: a start failure or an unsuccessful run
// becomes a git error, as run_git makes it, but the captured output is kept. Pathspecs are
// literal in every run (GIT_LITERAL_PATHSPECS).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"
#include "process/runner.hpp"

namespace tarnwick {

struct GitCall {
    std::string dir;
    std::vector<std::string> env;  // NAME=value entries on top of the inherited environment
};

// The finished run whatever its exit status; only a git that cannot start is an error.
Result<ChildOutput> git_run(const GitCall& call, const std::vector<std::string>& args,
                            std::optional<std::string_view> input = std::nullopt);

// The standard output of a successful run; otherwise a git error with git's stderr, trimmed.
Result<std::string> git_stdout(const GitCall& call, const std::vector<std::string>& args,
                               std::optional<std::string_view> input = std::nullopt);

// The git error for a run that failed: its stderr, or its stdout when stderr is empty, or how it
// ended when it printed nothing.
CliError git_failure(const ChildOutput& run);

}  // namespace tarnwick

// The `new` command: renders the template tree into <into>/<name>, formats it, pins its
// dependencies, commits it on "main", optionally creates the GitHub repository, and returns
// the report for the entry point to print.
#pragma once

#include <optional>
#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The arguments of `new`, as the command line gives them.
struct New {
    std::string name;
    std::optional<std::string> description;
    std::string owner;
    std::optional<std::string> author;
    std::string into;  // any bytes
    bool no_git = false;
    bool github = false;
    bool no_pypi = false;
};

// The rendered report, ending in one line feed.
Result<std::string> run_new(const New& args, OutputFormat format);

}  // namespace tarnwick

// The `secrets` command: puts the three release secrets onto a GitHub repository through gh,
// previews them in a dry run, or verifies which are already set.
#pragma once

#include <optional>
#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The arguments of `secrets`, as the command line gives them.
struct Secrets {
    std::string repo;
    std::string owner;
    std::optional<std::string> tap;
    bool pypi_token_stdin = false;
    bool dry_run = false;
    bool verify = false;
};

// The rendered report, ending in one line feed.
Result<std::string> run_secrets(const Secrets& args, OutputFormat format);

}  // namespace tarnwick

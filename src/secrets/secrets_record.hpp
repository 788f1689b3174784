// The record of `secrets`: its arguments as the command line gives them.
#pragma once

#include <optional>
#include <string>

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

}  // namespace tarnwick

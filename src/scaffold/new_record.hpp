// The record of `new`: its arguments as the command line gives them.
#pragma once

#include <optional>
#include <string>

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

}  // namespace tarnwick

// The record of `update`: its arguments as the command line gives them.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

// The arguments of `update`, as the command line gives them.
struct Update {
    std::string path = ".";  // any bytes
    bool dry_run = false;
    bool no_commit = false;
    std::optional<std::string> from;  // the identity of the set the project was made from
    std::optional<std::string> owner;
    std::optional<std::string> description;
    std::optional<std::string> author;
    std::optional<std::string> tap;
    bool pypi = false;
    bool no_pypi = false;
};

}  // namespace tarnwick

// The `update` command: brings a project that an earlier tarnwick made up to this tarnwick's
// templates. It renders the template set the project records with the answers it records (the
// base), renders this tarnwick's set with the same or changed answers (the target), and merges
// the target into the current branch with git's three-way merge against that base. The base
// never comes from history, which the user may amend, squash, rebase or import.
#pragma once

#include <optional>
#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"

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

// The rendered report, ending in one line feed.
Result<std::string> run_update(const Update& args, OutputFormat format);

}  // namespace tarnwick

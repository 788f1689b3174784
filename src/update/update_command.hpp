// The `update` command: brings a project that an earlier tarnwick made up to this tarnwick's
// templates. It renders the templates afresh with the project's own answers, commits that
// pristine render on top of the previous one, and merges it into the current branch with git,
// so local edits stay and the next update starts from this render.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The arguments of `update`, as the command line gives them.
struct Update {
    std::string path = ".";  // any bytes
    bool dry_run = false;
};

// The rendered report, ending in one line feed.
Result<std::string> run_update(const Update& args, OutputFormat format);

}  // namespace tarnwick

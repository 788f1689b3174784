// The `update` command: brings a project that an earlier tarnwick made up to this tarnwick's
// templates. It renders the template set the project records with the answers it records (the
// base), renders this tarnwick's set with the same or changed answers (the target), and merges
// the target into the current branch with git's three-way merge against that base. The base
// never comes from history, which the user may amend, squash, rebase or import.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"
#include "update/update_record.hpp"

namespace tarnwick {

// The rendered report, ending in one line feed.
Result<std::string> run_update(const Update& args, OutputFormat format);

}  // namespace tarnwick

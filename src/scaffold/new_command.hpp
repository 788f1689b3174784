// The `new` command: renders the template tree into <into>/<name>, formats it, commits it on
// "main", optionally creates the GitHub repository, and prints the report.
#pragma once

#include "cli/records.hpp"
#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

Status run_new(const New& args, OutputFormat format);

}  // namespace tarnwick

// The `new` command: renders the template tree into <into>/<name>, formats it, pins its
// dependencies, commits it on "main", optionally creates the GitHub repository, and returns
// the report for the entry point to print.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"
#include "scaffold/new_record.hpp"

namespace tarnwick {

// The rendered report, ending in one line feed.
Result<std::string> run_new(const New& args, OutputFormat format);

}  // namespace tarnwick

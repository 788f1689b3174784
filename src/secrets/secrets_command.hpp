// The `secrets` command: puts the three release secrets onto a GitHub repository through gh,
// previews them in a dry run, or verifies which are already set.
#pragma once

#include "cli/records.hpp"
#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

Status run_secrets(const Secrets& args, OutputFormat format);

}  // namespace tarnwick

// The `secrets` command: puts the three release secrets onto a GitHub repository through gh,
// previews them in a dry run, or verifies which are already set.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"
#include "secrets/secrets_record.hpp"

namespace tarnwick {

// The rendered report, ending in one line feed.
Result<std::string> run_secrets(const Secrets& args, OutputFormat format);

}  // namespace tarnwick

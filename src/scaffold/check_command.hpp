// The `check` command: validates a crate name and reports whether its destination is free,
// without writing anything.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"
#include "scaffold/check_record.hpp"

namespace tarnwick {

// The rendered report, ending in one line feed.
Result<std::string> run_check(const Check& args, OutputFormat format);

}  // namespace tarnwick

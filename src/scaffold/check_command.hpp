// The `check` command: validates a crate name and reports whether its destination is free,
// without writing anything.
#pragma once

#include "cli/records.hpp"
#include "core/output_format.hpp"
#include "core/result.hpp"

namespace tarnwick {

Status run_check(const Check& args, OutputFormat format);

}  // namespace tarnwick

// Placeholder handlers until the scaffolding commands land.
#include "scaffold/check_command.hpp"
#include "scaffold/new_command.hpp"

namespace tarnwick {

Status run_new(const New&, OutputFormat) { return CliError::io("new: not built yet"); }
Status run_check(const Check&, OutputFormat) { return CliError::io("check: not built yet"); }

}  // namespace tarnwick

// Placeholder generator until the per-shell generators land.
#include "cli/completions.hpp"

namespace tarnwick {

std::string completion_script(Shell, const CLI::App&) { return "# completions not built yet\n"; }

}  // namespace tarnwick

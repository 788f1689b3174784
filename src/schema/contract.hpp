// The program's own machine-readable contract, printed by `tarnwick schema`.
#pragma once

#include "cli/command_table.hpp"
#include "core/json.hpp"

namespace tarnwick {

// The contract document of the program's command tree; Json keeps keys in byte order at every
// level.
Json contract();

// The contract of any tree: its commands and arguments as declared there.
Json contract(const CommandTree& tree);

}  // namespace tarnwick

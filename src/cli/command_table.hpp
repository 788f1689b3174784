// The command tree of tarnwick: every command declared once, in command_table.cpp. Parsing,
// help, completions, the man page (made from the help) and the contract's commands and
// arguments are all read from it.
#pragma once

#include "cli/declaration.hpp"

namespace tarnwick {

const CommandTree& command_tree();

}  // namespace tarnwick

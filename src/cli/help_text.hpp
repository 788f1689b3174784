// The help texts, written from the declarations alone: no record is needed to show them.
#pragma once

#include <string>

#include "cli/declaration.hpp"

namespace tarnwick {

// -h asks for the short form of the help, --help and `help` for the long one; only the root
// has a long description, so subcommands read the same either way.
enum class HelpForm { Short, Long };

// "Usage: tarnwick <command> [OPTIONS] <ARG>" for the root or a command of the tree.
std::string usage_line(const CommandTree& tree, const CommandSpec& command);

// Help text of the root or of a command of the tree, ending in one line feed.
std::string render_help(const CommandTree& tree, const CommandSpec& command,
                        HelpForm form = HelpForm::Long);

}  // namespace tarnwick

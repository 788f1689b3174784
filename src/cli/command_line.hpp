// The command line of tarnwick: parsing the words against the command tree into the records
// of a command, and the help texts. Parsing never prints and never ends the process.
#pragma once

#include <string>

#include "cli/command_table.hpp"
#include "cli/records.hpp"
#include "core/result.hpp"

namespace tarnwick {

// -h asks for the short form of the help, --help and `help` for the long one; only the root
// has a long description, so subcommands read the same either way.
enum class HelpForm { Short, Long };

enum class ParseFailureKind { DisplayHelp, DisplayVersion, Error };

// A parse that did not yield records: a help or version request (text is what to print),
// or an error (text is the complete plain-text report).
struct ParseFailure {
    ParseFailureKind kind = ParseFailureKind::Error;
    std::string text;
};

// argv[0] is the program path and is skipped. The record of the command starts as its
// declaration makes it; the declared defaults, then the given values are written into it.
Result<Cli, ParseFailure> parse_command_line(int argc, const char* const* argv);
Result<Cli, ParseFailure> parse_command_line(const CommandTree& tree, int argc,
                                             const char* const* argv);

// "Usage: tarnwick <command> [OPTIONS] <ARG>" for the root or a command of the tree.
std::string usage_line(const CommandTree& tree, const CommandSpec& command);

// Help text of the root or of a command of the tree, ending in one line feed.
std::string render_help(const CommandTree& tree, const CommandSpec& command,
                        HelpForm form = HelpForm::Long);

}  // namespace tarnwick

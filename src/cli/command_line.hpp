// The command line of tarnwick: parsing the words against the command tree into the records
// of a command (the help texts are in cli/help_text.hpp). Parsing never prints and never ends the
// process.
#pragma once

#include <string>

#include "cli/command_table.hpp"
#include "cli/help_text.hpp"
#include "cli/records.hpp"
#include "core/result.hpp"

namespace tarnwick {

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

}  // namespace tarnwick

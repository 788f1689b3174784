// The command tree of tarnwick and the records a successful parse produces. The tree is
// declared once (build_command_tree) and serves the parser, the help texts and the
// completion-script generators; parsing never prints and never ends the process.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "cli/records.hpp"
#include "core/result.hpp"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace tarnwick {

// -h asks for the short form of the help, --help and `help` for the long one; only the root
// has a long description, so subcommands read the same either way.
enum class HelpForm { Short, Long };

enum class ParseFailureKind { DisplayHelp, DisplayHelpOnMissingArguments, DisplayVersion, Error };

// A parse that did not yield records: a help or version request (text is what to print),
// or an error (text is the complete plain-text report).
struct ParseFailure {
    ParseFailureKind kind = ParseFailureKind::Error;
    std::string text;
};

// The root command with every subcommand, option and help text; parses nothing.
std::unique_ptr<CLI::App> build_command_tree();

// The tree a parse needs when the command word is subcommand_name: every subcommand is
// declared, but only that one with its arguments (none when the word names no subcommand).
// Building only what the command line can reach keeps start-up short.
std::unique_ptr<CLI::App> build_parse_tree(std::string_view subcommand_name);

// The declared possible values of an option or positional, empty when its value is free.
std::span<const std::string_view> possible_values(const CLI::Option& option);

// True for options whose value is a path (any bytes; completed as a directory).
bool is_path_option(const CLI::Option& option);

// argv[0] is the program path and is skipped.
Result<Cli, ParseFailure> parse_command_line(int argc, const char* const* argv);

// "Usage: tarnwick <command> [OPTIONS] <ARG>" for the root or a subcommand.
std::string usage_line(const CLI::App& app);

// Help text of the root or of a subcommand, ending in one line feed.
std::string render_help(const CLI::App& app, HelpForm form = HelpForm::Long);

}  // namespace tarnwick

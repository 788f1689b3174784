// The command tree of tarnwick as one constant table: every command, argument, value name,
// default, possible value and help text. The parser, the help texts, the completion scripts
// and (through `tarnwick help`) the man page all read it; nothing lists a command or an
// option a second time.
#pragma once

#include <span>
#include <string_view>

namespace tarnwick {

enum class CommandId { Root, New, Check, Secrets, Schema, Completions, Update, Doctor, Help };

enum class ArgKind { Positional, Option, Flag };

// How the value of an argument is read and completed.
enum class ValueKind {
    None,       // a flag: takes no value
    Text,       // free text (valid UTF-8)
    Choices,    // one of the argument's choices
    Directory,  // a directory path: any bytes
};

struct ArgSpec {
    std::string_view id;  // the long name of an option or flag, the name of a positional
    ArgKind kind = ArgKind::Option;
    char short_name = '\0';       // '\0': none
    std::string_view value_name;  // "NAME"; empty for a flag
    std::string_view help;
    std::string_view default_value;  // shown in help; empty: none
    ValueKind value = ValueKind::Text;
    std::span<const std::string_view> choices = {};
    bool optional = false;  // a positional that may be left out without a default

    bool takes_value() const { return kind != ArgKind::Flag; }
    bool positional() const { return kind == ArgKind::Positional; }
    // A positional with a default, or marked optional, may be left out.
    bool optional_positional() const {
        return positional() && (optional || !default_value.empty());
    }
};

struct CommandSpec {
    CommandId id;
    std::string_view name;
    std::string_view help;  // one line; the root's is its long description
    std::span<const ArgSpec> args;
};

// The root command: its options, then the subcommands in the order help lists them.
const CommandSpec& root_command();
std::span<const CommandSpec> subcommands();
const CommandSpec* find_subcommand(std::string_view name);

// The short description that `-h` shows for the root.
extern const std::string_view kRootShortAbout;

}  // namespace tarnwick

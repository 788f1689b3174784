// How a command is declared: its arguments, each bound to a field of the command's record,
// with its value kind, choices, default, help and contract texts; the pairs of arguments it
// refuses together; and what the contract says about its effects and output. The parser, the
// help texts, the completion scripts and the contract all read declarations of this shape;
// cli/binding.hpp builds them, bound to the records' fields.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct Cli;  // cli/records.hpp

enum class ArgKind {
    Positional,
    Option,
    Flag,
    Help,     // -h/--help, on every command
    Version,  // -V/--version, on the root only
};

// How the value of an argument is read and completed.
enum class ValueKind {
    None,       // a flag: takes no value
    Text,       // free text (valid UTF-8)
    Choices,    // one of the argument's choices
    Directory,  // a directory path: any bytes
};

struct ArgSpec;

// Writes one value, from the command line or the declared default, into the field that the
// argument is bound to: the Cli itself for a global option, else the command's record.
using Assign = void (*)(Cli& cli, const ArgSpec& arg, std::string value);

struct ArgSpec {
    std::string_view id = {};  // the long name of an option or flag, the name of a positional
    ArgKind kind = ArgKind::Option;
    std::string_view value_name = {};     // "NAME"; empty for a flag
    std::string_view help = {};           // the one line that -h shows
    std::string_view contract_help = {};  // the contract's description; empty: help + "."
    Assign assign = nullptr;              // none for help and version
    char short_name = '\0';               // '\0': none
    std::string_view default_value = {};  // written into the record and shown; empty: none
    ValueKind value = ValueKind::Text;
    std::span<const std::string_view> choices = {};           // an enum's names, from its type
    std::span<const std::string_view> contract_choices = {};  // empty: the choices, in order
    bool may_be_absent = false;  // a positional bound to an optional text: left out, it stays empty

    constexpr ArgSpec by_default(std::string_view text) const {
        ArgSpec copy = *this;
        copy.default_value = text;
        return copy;
    }
    constexpr ArgSpec short_form(char name) const {
        ArgSpec copy = *this;
        copy.short_name = name;
        return copy;
    }
    constexpr ArgSpec directory() const {
        ArgSpec copy = *this;
        copy.value = ValueKind::Directory;
        return copy;
    }
    // The contract lists the choices in an order of its own.
    constexpr ArgSpec contract_lists(std::span<const std::string_view> names) const {
        ArgSpec copy = *this;
        copy.contract_choices = names;
        return copy;
    }

    // What the contract says of the argument: its own text, or the help as a sentence.
    std::string contract_text() const {
        return contract_help.empty() ? std::string(help) + "." : std::string(contract_help);
    }
    bool takes_value() const { return kind == ArgKind::Positional || kind == ArgKind::Option; }
    bool positional() const { return kind == ArgKind::Positional; }
    // A positional with a default may be left out, the default then filling its field; so may
    // one bound to an optional text, which then stays empty.
    bool optional_positional() const {
        return positional() && (!default_value.empty() || may_be_absent);
    }
};

// Two arguments of one command that cannot be given together. Without a message the report
// is the parser's "cannot be used with"; a message replaces the whole report.
struct Conflict {
    std::string_view arg;  // ids
    std::string_view other;
    std::string_view message = {};
};

// A member of the command's report, as the contract describes it.
struct OutputField {
    std::string_view name;
    std::string_view type;
    std::string_view items = {};  // the element type of an array
    std::string_view description = {};
};

// What the contract says about a command beyond its arguments; an empty text leaves its key
// out of the contract.
struct CommandContract {
    std::string_view description;
    std::string_view effects;  // "read_only", "idempotent", "non_idempotent"
    bool mutating = false;
    std::string_view cardinality = {};
    std::string_view stability = {};
    std::string_view output_kind = {};
    std::string_view media_type = {};
    std::span<const OutputField> output_fields = {};
    std::span<const std::string_view> example = {};  // a command line, the command name first
    std::string_view stdout_schema = {};             // the "$ref" of the output's schema
};

enum class CommandKind {
    Root,     // its arguments are global: every command but help accepts them
    Command,  // has a record and a handler
    Help,     // `help [COMMAND]`, the parser's own
};

// What puts a command's record in (make_record<R> in cli/binding.hpp): the function, and the
// record's place in CliCommand, a number so the table can be checked at compile time in every
// build (a sanitizing build does not compare function addresses in constant expressions).
struct RecordMaker {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    void (*fill)(Cli& cli) = nullptr;
    std::size_t record = kNone;
    void operator()(Cli& cli) const { fill(cli); }
};

struct CommandSpec {
    std::string_view name;
    std::string_view help = {};        // one line; the root's is its long description
    std::string_view short_help = {};  // what -h shows instead of help; empty: the same
    std::span<const ArgSpec> args = {};
    std::span<const Conflict> conflicts = {};
    RecordMaker make = {};  // puts in the record, before the defaults and values
    CommandContract contract = {};
    CommandKind kind = CommandKind::Command;
};

// A root and its commands, in the order help, completions and the contract list them.
struct CommandTree {
    const CommandSpec* root;
    std::span<const CommandSpec> commands;
};

// The parser's own flags, added to the declared arguments.
inline constexpr ArgSpec kHelpFlag{.id = "help",
                                   .kind = ArgKind::Help,
                                   .help = "Print help",
                                   .short_name = 'h',
                                   .value = ValueKind::None};
inline constexpr ArgSpec kVersionFlag{.id = "version",
                                      .kind = ArgKind::Version,
                                      .help = "Print version",
                                      .short_name = 'V',
                                      .value = ValueKind::None};

// The arguments a command accepts, in the order completions offer them: help, the root's
// version, the command's own, then the global ones.
inline std::vector<const ArgSpec*> accepted_args(const CommandTree& tree,
                                                 const CommandSpec& command) {
    std::vector<const ArgSpec*> args = {&kHelpFlag};
    if (command.kind == CommandKind::Root) args.push_back(&kVersionFlag);
    for (const ArgSpec& arg : command.args) args.push_back(&arg);
    if (command.kind == CommandKind::Command) {
        for (const ArgSpec& arg : tree.root->args) args.push_back(&arg);
    }
    return args;
}

inline const CommandSpec* find_command(const CommandTree& tree, std::string_view name) {
    for (const CommandSpec& command : tree.commands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

}  // namespace tarnwick

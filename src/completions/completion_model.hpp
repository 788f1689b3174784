// The command tree reduced to what a completion script needs: per command its subcommands,
// options and positionals, each with its help text and how its value completes. Every shell's
// generator walks this one model, so the scripts cannot drift from the declared tree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/command_table.hpp"

namespace tarnwick {

struct CompletionArg {
    std::vector<std::string> spellings;  // "-o", "--output"; empty for a positional
    std::string value_name;              // "OUTPUT", "NAME"; empty for a flag
    std::string description;             // one line
    ValueKind value = ValueKind::None;
    std::vector<std::string> choices;

    bool takes_value() const { return value != ValueKind::None; }
};

struct CompletionCommand {
    std::string name;         // "tarnwick", "new"
    std::string key;          // path from the root joined by spaces: "tarnwick", "tarnwick new"
    std::string description;  // one line; empty for the root
    std::vector<CompletionArg> options;
    std::vector<CompletionArg> positionals;
    std::vector<CompletionCommand> subcommands;
};

// Walks the tree from its root; by default the program's own.
CompletionCommand completion_model(const CommandTree& tree = command_tree());

// Every command of the model, the root first, parents before their subcommands.
std::vector<const CompletionCommand*> all_commands(const CompletionCommand& root);

// "text", "choices", "dirs" or "flag": the value kind as the generated scripts name it.
std::string value_kind_name(ValueKind kind);

// Each item as render gives it, on a line of its own after indent (a "\n" and spaces).
template <class Item, class Render>
std::string item_lines(const std::vector<Item>& items, std::string_view indent, Render render) {
    std::string out;
    for (const Item& item : items) out += std::string(indent) + render(item);
    return out;
}

}  // namespace tarnwick

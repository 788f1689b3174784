// The arguments that the parser adds to every declaration, and the look-ups over a tree.
#include "cli/declaration.hpp"

namespace tarnwick {
namespace {

constexpr ArgSpec kHelpFlag{"help",  ArgKind::Help, "", "Print help",   "",
                            nullptr, 'h',           "", ValueKind::None};
constexpr ArgSpec kVersionFlag{"version", ArgKind::Version, "", "Print version", "", nullptr, 'V',
                               "",        ValueKind::None};

}  // namespace

std::vector<const ArgSpec*> accepted_args(const CommandTree& tree, const CommandSpec& command) {
    std::vector<const ArgSpec*> args = {&kHelpFlag};
    if (command.kind == CommandKind::Root) args.push_back(&kVersionFlag);
    for (const ArgSpec& arg : command.args) args.push_back(&arg);
    if (command.kind == CommandKind::Command) {
        for (const ArgSpec& arg : tree.root->args) args.push_back(&arg);
    }
    return args;
}

const CommandSpec* find_command(const CommandTree& tree, std::string_view name) {
    for (const CommandSpec& command : tree.commands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

}  // namespace tarnwick

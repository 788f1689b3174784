// Builds the completion model from the command tree: option spellings, value names, help
// texts and value kinds come from the declarations, nothing is listed a second time here.
#include "completions/completion_model.hpp"

namespace tarnwick {
namespace {

// Scripts print descriptions on one line, and some shells cannot quote a line feed at all.
std::string one_line(const std::string& text) {
    std::string out = text.substr(0, text.find('\n'));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return out;
}

CompletionArg arg_of(const ArgSpec& spec) {
    CompletionArg arg;
    if (spec.short_name) arg.spellings.push_back(std::string("-") + spec.short_name);
    if (!spec.positional()) arg.spellings.push_back("--" + std::string(spec.id));
    arg.description = one_line(std::string(spec.help));
    arg.value = spec.value;
    if (!spec.takes_value()) return arg;
    arg.value_name = spec.value_name;
    arg.choices.assign(spec.choices.begin(), spec.choices.end());
    return arg;
}

CompletionCommand command_of(const CommandTree& tree, const CommandSpec& spec,
                             const std::string& parent_key) {
    CompletionCommand cmd;
    cmd.name = spec.name;
    cmd.key = parent_key.empty() ? cmd.name : parent_key + " " + cmd.name;
    if (!parent_key.empty()) cmd.description = one_line(std::string(spec.help));
    for (const ArgSpec* arg_spec : accepted_args(tree, spec)) {
        CompletionArg arg = arg_of(*arg_spec);
        if (arg_spec->positional()) {
            // The help command's argument names one of the other commands.
            if (spec.kind == CommandKind::Help) {
                arg.value = ValueKind::Choices;
                for (const CommandSpec& other : tree.commands) {
                    if (other.kind != CommandKind::Help) arg.choices.emplace_back(other.name);
                }
            }
            cmd.positionals.push_back(std::move(arg));
        } else {
            cmd.options.push_back(std::move(arg));
        }
    }
    if (spec.kind == CommandKind::Root) {
        for (const CommandSpec& sub : tree.commands) {
            cmd.subcommands.push_back(command_of(tree, sub, cmd.key));
        }
    }
    return cmd;
}

void collect(const CompletionCommand& cmd, std::vector<const CompletionCommand*>& out) {
    out.push_back(&cmd);
    for (const CompletionCommand& sub : cmd.subcommands) collect(sub, out);
}

}  // namespace

CompletionCommand completion_model(const CommandTree& tree) {
    return command_of(tree, *tree.root, "");
}

std::vector<const CompletionCommand*> all_commands(const CompletionCommand& root) {
    std::vector<const CompletionCommand*> out;
    collect(root, out);
    return out;
}

std::string value_kind_name(ValueKind kind) {
    switch (kind) {
        case ValueKind::Text:
            return "text";
        case ValueKind::Choices:
            return "choices";
        case ValueKind::Directory:
            return "dirs";
        case ValueKind::None:
            break;
    }
    return "flag";
}

}  // namespace tarnwick

// The help texts and usage lines, rendered from the command tree in the familiar layout:
// description, usage, then aligned sections of commands, arguments and options.
#include "cli/help_text.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/text.hpp"

namespace tarnwick {
namespace {

std::string value_display(const ArgSpec& arg) {
    return std::string("<").append(arg.value_name).append(">");
}

std::string arg_display(const ArgSpec& arg) {
    if (arg.optional_positional()) return std::string("[").append(arg.value_name).append("]");
    if (arg.positional()) return value_display(arg);
    std::string text = arg.short_name ? std::string("-") + arg.short_name + ", " : "    ";
    text.append("--").append(arg.id);
    if (arg.takes_value()) text.append(" ").append(value_display(arg));
    return text;
}

std::string arg_help(const ArgSpec& arg) {
    std::string help(arg.help);
    if (!arg.default_value.empty()) help += " [default: " + std::string(arg.default_value) + "]";
    if (!arg.choices.empty()) help += " [possible values: " + join(arg.choices, ", ") + "]";
    return help;
}

void render_section(std::string& out, const char* title,
                    const std::vector<std::pair<std::string, std::string>>& rows) {
    if (rows.empty()) return;
    std::size_t width = 0;
    for (const auto& [left, _] : rows) width = std::max(width, left.size());
    out += "\n";
    out += title;
    out += ":\n";
    for (const auto& [left, right] : rows) {
        std::string line = "  " + left;
        if (!right.empty()) line += std::string(width - left.size() + 2, ' ') + right;
        out += line + "\n";
    }
}

bool is_root(const CommandSpec& command) {
    return command.kind == CommandKind::Root;
}

}  // namespace

std::string usage_line(const CommandTree& tree, const CommandSpec& command) {
    std::string line = std::string("Usage: ").append(tree.root->name);
    if (!is_root(command)) line.append(" ").append(command.name);
    line += " [OPTIONS]";
    if (is_root(command)) return line + " [COMMAND]";
    for (const ArgSpec& arg : command.args) {
        if (!arg.positional()) continue;
        // The help command's argument is optional, and so is a positional with a default.
        line += ' ';
        line += command.kind == CommandKind::Help || arg.optional_positional()
                    ? std::string("[").append(arg.value_name).append("]")
                    : value_display(arg);
    }
    return line;
}

std::string render_help(const CommandTree& tree, const CommandSpec& command, HelpForm form) {
    // Only a command with a short description (the root) reads differently under -h.
    const bool short_form = form == HelpForm::Short && !command.short_help.empty();
    std::string out = std::string(short_form ? command.short_help : command.help) + "\n\n" +
                      usage_line(tree, command) + "\n";
    std::vector<std::pair<std::string, std::string>> commands, arguments, options;
    if (is_root(command)) {
        for (const CommandSpec& sub : tree.commands) commands.emplace_back(sub.name, sub.help);
    }
    for (const ArgSpec* arg : accepted_args(tree, command)) {
        auto& rows = arg->positional() ? arguments : options;
        std::string help = arg_help(*arg);
        if (short_form && arg->kind == ArgKind::Help) help += " (see more with '--help')";
        rows.emplace_back(arg_display(*arg), help);
    }
    // Help and version come last, the way users expect to find them.
    std::stable_partition(options.begin(), options.end(), [](const auto& row) {
        return row.first.find("--help") == std::string::npos &&
               row.first.find("--version") == std::string::npos;
    });
    render_section(out, "Commands", commands);
    render_section(out, "Arguments", arguments);
    render_section(out, "Options", options);
    return out;
}

}  // namespace tarnwick

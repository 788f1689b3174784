// Builds the completion model from the CLI11 tree: option spellings, value names, help texts
// and value kinds come from the declarations, nothing is listed a second time here.
#include "cli/completion_model.hpp"

#include <CLI/CLI.hpp>

#include "cli/command_line.hpp"

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

std::vector<std::string> names_of_subcommands(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    return names;
}

CompletionArg arg_of(const CLI::Option& opt) {
    CompletionArg arg;
    for (const std::string& s : opt.get_snames()) arg.spellings.push_back("-" + s);
    for (const std::string& l : opt.get_lnames()) arg.spellings.push_back("--" + l);
    arg.description = one_line(opt.get_description());
    if (opt.get_expected_max() == 0) return arg;
    arg.value_name = opt.get_type_name();
    auto values = possible_values(opt);
    if (!values.empty()) {
        arg.value = ValueKind::Choices;
        arg.choices.assign(values.begin(), values.end());
    } else if (is_path_option(opt)) {
        arg.value = ValueKind::Directory;
    } else {
        arg.value = ValueKind::Text;
    }
    return arg;
}

CompletionCommand command_of(const CLI::App& app, const std::string& parent_key,
                             const std::vector<std::string>& siblings) {
    CompletionCommand cmd;
    cmd.name = app.get_name();
    cmd.key = parent_key.empty() ? cmd.name : parent_key + " " + cmd.name;
    if (!parent_key.empty()) cmd.description = one_line(app.get_description());
    for (const CLI::Option* opt : app.get_options()) {
        CompletionArg arg = arg_of(*opt);
        if (opt->get_positional()) {
            // The help subcommand's argument names one of its sibling commands.
            if (cmd.name == "help" && !parent_key.empty() && arg.value == ValueKind::Text) {
                arg.value = ValueKind::Choices;
                for (const std::string& s : siblings) {
                    if (s != cmd.name) arg.choices.push_back(s);
                }
            }
            cmd.positionals.push_back(std::move(arg));
        } else {
            cmd.options.push_back(std::move(arg));
        }
    }
    std::vector<std::string> children = names_of_subcommands(app);
    for (const CLI::App* sub : app.get_subcommands({})) {
        cmd.subcommands.push_back(command_of(*sub, cmd.key, children));
    }
    return cmd;
}

void collect(const CompletionCommand& cmd, std::vector<const CompletionCommand*>& out) {
    out.push_back(&cmd);
    for (const CompletionCommand& sub : cmd.subcommands) collect(sub, out);
}

}  // namespace

CompletionCommand completion_model(const CLI::App& root) {
    return command_of(root, "", {});
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

std::string posix_single_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace tarnwick

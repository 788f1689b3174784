// The zsh completion script: one _arguments call per command, generated from the model, with
// the subcommand names offered through _describe and each subcommand's arguments in its own
// state. Works both autoloaded from $fpath and sourced after compinit.
#include <string>

#include "completions/completion_generators.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// Backslash-escapes the characters that end or split a part of an _arguments or _describe
// spec: a description in "[...]", a message between colons, a word of a "(...)" list.
std::string escaped(const std::string& text, const std::string& specials) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || specials.find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

// What zsh shows above the matches, or alone when it has none to offer.
std::string message(const CompletionArg& arg) {
    const bool positional = arg.spellings.empty();
    return escaped(positional && !arg.description.empty() ? arg.description : arg.value_name, ":");
}

// The ":message:action" tail of a spec whose argument takes a value.
std::string value_part(const CompletionArg& arg) {
    std::string action;
    switch (arg.value) {
        case ValueKind::Choices:
            action = "(";
            for (std::size_t i = 0; i < arg.choices.size(); ++i) {
                if (i) action += ' ';
                action += escaped(arg.choices[i], " ()[]{}:'\"$`*?<>|&;#~");
            }
            action += ")";
            break;
        case ValueKind::Directory:
            action = "_files -/";
            break;
        default:
            action = " ";  // a value is expected, but nothing can be offered for it
            break;
    }
    std::string spec = ":";
    spec += message(arg);
    spec += ':';
    spec += action;
    return spec;
}

// The _arguments specs of one command, one per line, continued with backslashes.
std::string argument_specs(const CompletionCommand& cmd, const std::string& indent) {
    std::string out;
    for (const CompletionArg& opt : cmd.options) {
        std::string exclusions = "(";
        for (std::size_t i = 0; i < opt.spellings.size(); ++i) {
            if (i) exclusions += ' ';
            exclusions += opt.spellings[i];
        }
        exclusions += ")";
        for (const std::string& spelling : opt.spellings) {
            std::string form = spelling;
            if (opt.takes_value()) form += spelling.rfind("--", 0) == 0 ? "=" : "+";
            std::string spec = exclusions + form + "[" + escaped(opt.description, "[]") + "]";
            if (opt.takes_value()) spec += value_part(opt);
            out += " \\\n" + indent + posix_single_quoted(spec);
        }
    }
    for (std::size_t i = 0; i < cmd.positionals.size(); ++i) {
        out += " \\\n" + indent +
               posix_single_quoted(std::to_string(i + 1) + value_part(cmd.positionals[i]));
    }
    if (!cmd.subcommands.empty()) {
        out += " \\\n" + indent + posix_single_quoted(":command:->command");
        out += " \\\n" + indent + posix_single_quoted("*::arg:->args");
    }
    return out;
}

std::string function_name(const CompletionCommand& cmd) {
    std::string name = "_";
    for (char c : cmd.key) {
        if (c == ' ') {
            name += "__";
        } else {
            name += c == '-' ? '_' : c;
        }
    }
    return name;
}

// One function per command: its own _arguments, then the states of its subcommand position.
std::string command_function(const CompletionCommand& cmd) {
    std::string fn = function_name(cmd);
    std::string out = fn + "() {\n";
    out += "    local curcontext=\"$curcontext\" state state_descr line ret=1\n";
    out += "    typeset -A opt_args\n\n";
    out += "    _arguments -S -C" + argument_specs(cmd, "        ") + " && ret=0\n";
    if (!cmd.subcommands.empty()) {
        out += "\n    case $state in\n        command)\n            local -a commands=(\n";
        for (const CompletionCommand& sub : cmd.subcommands) {
            out += "                " +
                   posix_single_quoted(escaped(sub.name, ":") + ":" + sub.description) + "\n";
        }
        out += "            )\n            _describe -t commands " +
               posix_single_quoted(cmd.name + " command") + " commands && ret=0\n            ;;\n";
        out += "        args)\n            curcontext=\"${curcontext%:*:*}:" + cmd.name +
               "-$line[1]:\"\n            case $line[1] in\n";
        for (const CompletionCommand& sub : cmd.subcommands) {
            out += "                " + posix_single_quoted(sub.name) + ") " + function_name(sub) +
                   " && ret=0 ;;\n";
        }
        out += "            esac\n            ;;\n    esac\n";
    }
    out += "    return ret\n}\n\n";
    for (const CompletionCommand& sub : cmd.subcommands) out += command_function(sub);
    return out;
}

}  // namespace

std::string zsh_completion(const CompletionCommand& root) {
    const std::string fn = function_name(root);
    std::string out = "#compdef " + root.name + "\n\n";
    out += "# zsh completion for " + root.name + ": save it as " + fn +
           " in a directory of $fpath,\n# or load it after compinit with:\n#   source <(" +
           root.name + " completions zsh)\n\n";
    out += command_function(root);
    out += "if [[ ${zsh_eval_context[-1]} == loadautofunc ]]; then\n    " + fn +
           " \"$@\"\nelse\n    compdef " + fn + " " + posix_single_quoted(root.name) + "\nfi\n";
    return out;
}

}  // namespace tarnwick

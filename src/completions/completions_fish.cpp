// The fish completion script: a helper that walks the words before the cursor to find the
// command in effect and how many of its positionals are given, then one `complete` line per
// subcommand, option spelling pair and positional, generated from the model.
#include <string>

#include "completions/completion_generators.hpp"

namespace tarnwick {
namespace {

// A single-quoted fish word: only the backslash and the quote itself are special inside.
std::string fish_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

// The argument of `complete -a`, which fish splits and expands: each choice quoted again.
std::string choice_list(const std::vector<std::string>& choices) {
    std::string list;
    for (const std::string& c : choices) {
        if (!list.empty()) list += ' ';
        list += fish_quoted(c);
    }
    return fish_quoted(list);
}

std::string condition(const std::string& helper, const CompletionCommand& cmd,
                      const std::string& extra = "") {
    return " -n " + fish_quoted(helper + " " + fish_quoted(cmd.key) + extra);
}

std::string value_flags(const CompletionArg& arg) {
    switch (arg.value) {
        case ValueKind::Choices:
            return " -x -a " + choice_list(arg.choices);
        case ValueKind::Directory:
            return " -x -a '(__fish_complete_directories)'";
        case ValueKind::Text:
            return " -x";
        default:
            return "";
    }
}

}  // namespace

std::string fish_completion(const CompletionCommand& root) {
    const std::string name = fish_quoted(root.name);
    const std::string helper = "__" + root.name + "_at";
    const std::string values = "__" + root.name + "_value_options";
    const std::string subs = "__" + root.name + "_subcommands";
    const auto commands = all_commands(root);

    std::string out = "# fish completion for " + root.name + "; load it with:\n#   " + root.name +
                      " completions fish | source\n\n";
    out +=
        "# \"command option\" for every option that takes a value, and \"command subcommand\".\n";
    out += "set -g " + values;
    for (const CompletionCommand* cmd : commands) {
        for (const CompletionArg& opt : cmd->options) {
            if (!opt.takes_value()) continue;
            for (const std::string& s : opt.spellings) {
                out += ' ';
                out += fish_quoted(cmd->key + " " + s);
            }
        }
    }
    out += "\nset -g " + subs;
    for (const CompletionCommand* cmd : commands) {
        for (const CompletionCommand& sub : cmd->subcommands) out += " " + fish_quoted(sub.key);
    }
    out += "\n\n";

    out +=
        "# Succeeds when the words before the cursor select command $argv[1]; with $argv[2],\n"
        "# also when exactly that many of its positionals are given and no option waits for\n"
        "# its value.\n";
    out += "function " + helper + "\n    set -l cmd " + fish_quoted(root.key) + R"(
    set -l npos 0
    set -l pending 0
    set -l dashdash 0
    set -l words (commandline -opc)
    set -e words[1]
    for word in $words
        if test $pending = 1
            set pending 0
        else if test $dashdash = 0; and test "$word" = --
            set dashdash 1
        else if test $dashdash = 0; and string match -q -- '-*' $word
            if contains -- "$cmd $word" $)" +
           values + R"(
                set pending 1
            end
        else if test $dashdash = 0; and test $npos = 0; and contains -- "$cmd $word" $)" +
           subs + R"(
            set cmd "$cmd $word"
        else
            set npos (math $npos + 1)
        end
    end
    test "$cmd" = "$argv[1]"; or return 1
    set -q argv[2]; or return 0
    test $pending = 0; and test $npos = $argv[2]
end

)";

    out += "complete -c " + name + " -f\n";
    for (const CompletionCommand* cmd : commands) {
        out += "\n";
        for (const CompletionCommand& sub : cmd->subcommands) {
            out += "complete -c " + name + condition(helper, *cmd, " 0") + " -a " +
                   fish_quoted(fish_quoted(sub.name)) + " -d " + fish_quoted(sub.description) +
                   "\n";
        }
        for (const CompletionArg& opt : cmd->options) {
            out += "complete -c " + name + condition(helper, *cmd);
            for (const std::string& s : opt.spellings) {
                out += s.rfind("--", 0) == 0 ? " -l " + fish_quoted(s.substr(2))
                                             : " -s " + fish_quoted(s.substr(1));
            }
            out += value_flags(opt);
            if (!opt.description.empty()) out += " -d " + fish_quoted(opt.description);
            out += "\n";
        }
        for (std::size_t i = 0; i < cmd->positionals.size(); ++i) {
            const CompletionArg& pos = cmd->positionals[i];
            std::string candidates;
            if (pos.value == ValueKind::Choices) {
                candidates = " -a " + choice_list(pos.choices);
            } else if (pos.value == ValueKind::Directory) {
                candidates = " -a '(__fish_complete_directories)'";
            } else {
                continue;  // free text: nothing to offer
            }
            out += "complete -c " + name + condition(helper, *cmd, " " + std::to_string(i)) +
                   candidates + "\n";
        }
    }
    return out;
}

}  // namespace tarnwick

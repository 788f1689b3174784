// The bash completion script: lookup functions generated from the model (subcommands,
// options, value kinds, positionals per command) and one fixed function that walks the words
// before the cursor with them and fills COMPREPLY.
#include <string>
#include <vector>

#include "completions/completion_generators.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// "@text", "@dirs" or the list of choices, a space within a choice escaped ("MIT\ OR\ X"):
// what _<name>_complete_value understands.
std::string value_spec(const CompletionArg& arg) {
    switch (arg.value) {
        case ValueKind::Choices: {
            std::vector<std::string> words;
            for (const std::string& choice : arg.choices) {
                std::string word;
                for (char c : choice) word += c == ' ' ? std::string("\\ ") : std::string(1, c);
                words.push_back(std::move(word));
            }
            return join(words, " ");
        }
        case ValueKind::Directory:
            return "@dirs";
        default:
            return "@text";
    }
}

std::string case_arm(const std::string& pattern, const std::string& echoed) {
    return "        " + pattern + ") echo " + posix_single_quoted(echoed) + " ;;\n";
}

// The fixed part: fills COMPREPLY from the lookup functions, @FN@ being their prefix.
constexpr const char* kWalker =
    R"SH(# Fills COMPREPLY with the values of kind $1 that start with $2, each after prefix $3.
@FN@_complete_value() {
    case "$1" in
        @text) ;;
        @dirs)
            compopt -o filenames 2>/dev/null
            local IFS=$'\n'
            COMPREPLY=($(compgen -P "$3" -d -- "$2"))
            ;;
        *)
            # A choice may hold a space: typed as "\ ", it is matched unescaped and offered
            # escaped again, so it stays one word.
            local word
            while IFS= read -r word; do
                COMPREPLY+=("$3${word// /\\ }")
            done < <(compgen -W "$1" -- "${2//\\ / }")
            ;;
    esac
}

@FN@() {
    local cmd=@ROOT@ cur="${COMP_WORDS[COMP_CWORD]}"
    local word pending='' dashdash='' spec
    local -i i npos=0
    COMPREPLY=()
    for (( i = 1; i < COMP_CWORD; i++ )); do
        word="${COMP_WORDS[i]}"
        if [[ -n $pending ]]; then
            # With "=" in COMP_WORDBREAKS, "--into=dir" arrives as "--into" "=" "dir".
            [[ $word == = ]] || pending=''
            continue
        fi
        if [[ -z $dashdash && $word == -* ]]; then
            if [[ $word == -- ]]; then
                dashdash=1
            elif @FN@_option_value "$cmd" "$word" >/dev/null; then
                pending="$word"
            fi
            continue
        fi
        if [[ -z $dashdash ]] && (( npos == 0 )) &&
            [[ " $(@FN@_subcommands "$cmd") " == *" $word "* ]]; then
            cmd="$cmd $word"
        else
            npos+=1
        fi
    done

    if [[ -n $pending ]]; then
        [[ $cur == = ]] && cur=''
        @FN@_complete_value "$(@FN@_option_value "$cmd" "$pending")" "$cur" ''
    elif [[ -z $dashdash && $cur == --*=* ]]; then
        if spec="$(@FN@_option_value "$cmd" "${cur%%=*}")"; then
            @FN@_complete_value "$spec" "${cur#*=}" "${cur%%=*}="
        fi
    elif [[ -z $dashdash && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(@FN@_options "$cmd")" -- "$cur"))
    elif (( npos == 0 )) && [[ -n $(@FN@_subcommands "$cmd") ]]; then
        COMPREPLY=($(compgen -W "$(@FN@_subcommands "$cmd")" -- "$cur"))
    elif spec="$(@FN@_positional "$cmd" "$npos")"; then
        @FN@_complete_value "$spec" "$cur" ''
    elif [[ -z $dashdash ]]; then
        # Nothing else to type here: offer the options.
        COMPREPLY=($(compgen -W "$(@FN@_options "$cmd")" -- "$cur"))
    fi
    return 0
}

)SH";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

std::string bash_completion(const CompletionCommand& root) {
    const std::string fn = "_" + root.name;
    const auto commands = all_commands(root);
    std::string out = "# bash completion for " + root.name + "; load it with:\n#   source <(" +
                      root.name + " completions bash)\n\n";

    out += "# The subcommands of command $1.\n" + fn + "_subcommands() {\n    case \"$1\" in\n";
    for (const CompletionCommand* cmd : commands) {
        std::vector<std::string> names;
        for (const CompletionCommand& sub : cmd->subcommands) names.push_back(sub.name);
        if (!names.empty()) out += case_arm(posix_single_quoted(cmd->key), join(names, " "));
    }
    out += "    esac\n}\n\n";

    out += "# Every spelling of the options of command $1.\n" + fn +
           "_options() {\n    case \"$1\" in\n";
    for (const CompletionCommand* cmd : commands) {
        std::vector<std::string> spellings;
        for (const CompletionArg& opt : cmd->options) {
            spellings.insert(spellings.end(), opt.spellings.begin(), opt.spellings.end());
        }
        out += case_arm(posix_single_quoted(cmd->key), join(spellings, " "));
    }
    out += "    esac\n}\n\n";

    out +=
        "# How the value of option $2 of command $1 completes; fails for flags and unknown "
        "words.\n" +
        fn + "_option_value() {\n    case \"$1 $2\" in\n";
    for (const CompletionCommand* cmd : commands) {
        for (const CompletionArg& opt : cmd->options) {
            if (!opt.takes_value()) continue;
            std::string pattern;
            for (const std::string& s : opt.spellings) {
                if (!pattern.empty()) pattern += '|';
                pattern += posix_single_quoted(cmd->key + " " + s);
            }
            out += case_arm(pattern, value_spec(opt));
        }
    }
    out += "        *) return 1 ;;\n    esac\n}\n\n";

    out += "# How positional number $2 (from 0) of command $1 completes; fails past the last.\n" +
           fn + "_positional() {\n    case \"$1 $2\" in\n";
    for (const CompletionCommand* cmd : commands) {
        for (std::size_t i = 0; i < cmd->positionals.size(); ++i) {
            out += case_arm(posix_single_quoted(cmd->key + " " + std::to_string(i)),
                            value_spec(cmd->positionals[i]));
        }
    }
    out += "        *) return 1 ;;\n    esac\n}\n\n";

    out += replaced(replaced(kWalker, "@ROOT@", posix_single_quoted(root.key)), "@FN@", fn);
    out += "complete -F " + fn + " " + posix_single_quoted(root.name) + "\n";
    return out;
}

}  // namespace tarnwick

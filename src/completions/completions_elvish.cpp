// The elvish completion script: the model written out as an elvish map (per command its
// subcommands, options and positionals) and one fixed completer that walks the words before
// the cursor with it. Loaded with `eval`, it sets edit:completion:arg-completer[<name>].
#include <string>

#include "completions/completion_generators.hpp"

namespace tarnwick {
namespace {

// A single-quoted elvish string: the quote is doubled, nothing else is special.
std::string elvish_quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string list_of(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ' ';
        out += elvish_quoted(items[i]);
    }
    return out + "]";
}

// [&names=[...] &desc='...' &kind=... &choices=[...]]
std::string arg_map(const CompletionArg& arg) {
    return "[&names=" + list_of(arg.spellings) + " &desc=" + elvish_quoted(arg.description) +
           " &kind=" + value_kind_name(arg.value) + " &choices=" + list_of(arg.choices) + "]";
}

}  // namespace

std::string elvish_completion(const CompletionCommand& root) {
    std::string out = "# elvish completion for " + root.name +
                      "; load it in rc.elv with:\n#   eval (" + root.name +
                      " completions elvish | slurp)\n\nuse str\n\n";
    out += "set edit:completion:arg-completer[" + elvish_quoted(root.name) + "] = {|@words|\n";
    out += "    var commands = [\n";
    constexpr std::string_view kItem = "\n                ";
    for (const CompletionCommand* cmd : all_commands(root)) {
        out += "        &" + elvish_quoted(cmd->key) + "=[\n            &subcommands=[";
        for (const CompletionCommand& sub : cmd->subcommands) {
            out += "\n                [&name=" + elvish_quoted(sub.name) +
                   " &desc=" + elvish_quoted(sub.description) + "]";
        }
        out += "\n            ]\n            &options=[" + item_lines(cmd->options, kItem, arg_map);
        out += "\n            ]\n            &positionals=[" +
               item_lines(cmd->positionals, kItem, arg_map);
        out += "\n            ]\n        ]\n";
    }
    out += "    ]\n\n";
    out += "    var cmd = " + elvish_quoted(root.key) + R"(
    var npos = 0
    var pending = $nil
    var dashdash = $false
    for word $words[1..-1] {
        if (not-eq $pending $nil) {
            set pending = $nil
        } elif (and (not $dashdash) (eq $word --)) {
            set dashdash = $true
        } elif (and (not $dashdash) (str:has-prefix $word -)) {
            for opt $commands[$cmd][options] {
                if (and (has-value $opt[names] $word) (not-eq $opt[kind] flag)) {
                    set pending = $opt
                }
            }
        } else {
            var next = $nil
            if (and (not $dashdash) (== $npos 0)) {
                for sub $commands[$cmd][subcommands] {
                    if (eq $sub[name] $word) {
                        set next = $cmd' '$word
                    }
                }
            }
            if (not-eq $next $nil) {
                set cmd = $next
            } else {
                set npos = (+ $npos 1)
            }
        }
    }

    var current = $words[-1]
    var spec = $commands[$cmd]
    fn candidate {|text desc|
        if (str:has-prefix $text $current) {
            if (eq $desc '') {
                edit:complex-candidate $text
            } else {
                edit:complex-candidate $text &display=$text' -- '$desc
            }
        }
    }
    fn value-of {|arg|
        if (eq $arg[kind] choices) {
            for choice $arg[choices] {
                candidate $choice ''
            }
        } elif (eq $arg[kind] dirs) {
            for dir [(put $current*[nomatch-ok][type:dir])] {
                edit:complex-candidate $dir &code-suffix=/
            }
        }
    }
    fn options {
        for opt $spec[options] {
            for name $opt[names] {
                candidate $name $opt[desc]
            }
        }
    }

    if (not-eq $pending $nil) {
        value-of $pending
    } elif (and (not $dashdash) (str:has-prefix $current -)) {
        options
    } elif (and (== $npos 0) (> (count $spec[subcommands]) 0)) {
        for sub $spec[subcommands] {
            candidate $sub[name] $sub[desc]
        }
    } elif (< $npos (count $spec[positionals])) {
        value-of $spec[positionals][$npos]
    } elif (not $dashdash) {
        options
    }
}
)";
    return out;
}

}  // namespace tarnwick

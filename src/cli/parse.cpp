// Parsing: CLI11 tokenises and matches; the checks a good parser makes beyond that (repeats,
// unknown words with suggestions, possible values, conflicts, UTF-8) live here, so that every
// failure reads the same way: the error, a tip, the usage line and a pointer to --help.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "cli/command_line.hpp"
#include "cli/suggest.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

ParseFailure report(const CLI::App& app, const std::string& error, const std::string& tip = {}) {
    std::string text = "error: " + error + "\n";
    if (!tip.empty()) text += "\n  tip: " + tip + "\n";
    text += "\n" + usage_line(app) + "\n\nFor more information, try '--help'.";
    return {ParseFailureKind::Error, std::string(trim(text))};
}

std::string option_label(const CLI::Option& opt) {
    if (opt.get_positional()) return "<" + opt.get_type_name() + ">";
    std::string label = "--" + opt.get_lnames().front();
    if (opt.get_expected_max() != 0) label += " <" + opt.get_type_name() + ">";
    return label;
}

std::vector<std::string> option_words(const CLI::App& app) {
    std::vector<std::string> words;
    for (const CLI::Option* opt : app.get_options()) {
        for (const auto& l : opt->get_lnames()) words.push_back("--" + l);
    }
    return words;
}

std::vector<std::string> subcommand_words(const CLI::App& app) {
    std::vector<std::string> words;
    for (const CLI::App* sub : app.get_subcommands({})) words.push_back(sub->get_name());
    return words;
}

// The arguments CLI11 could not place, without the "--" separator it keeps.
std::vector<std::string> leftovers(const CLI::App& app) {
    std::vector<std::string> rest = app.remaining();
    std::erase(rest, std::string("--"));
    return rest;
}

std::optional<ParseFailure> unexpected(const CLI::App& app, const std::string& arg,
                                       bool may_be_command) {
    if (arg.size() > 1 && arg[0] == '-') {
        std::string word = arg.substr(0, arg.find('='));
        std::string tip;
        if (auto m = closest_match(word, option_words(app)))
            tip = "a similar argument exists: '" + *m + "'";
        return report(app, "unexpected argument '" + decode_lossy(arg) + "' found", tip);
    }
    if (may_be_command) {
        std::string tip;
        if (auto m = closest_match(arg, subcommand_words(app)))
            tip = "a similar subcommand exists: '" + *m + "'";
        return report(app, "unrecognized subcommand '" + decode_lossy(arg) + "'", tip);
    }
    return report(app, "unexpected argument '" + decode_lossy(arg) + "' found");
}

std::optional<ParseFailure> check_values(const CLI::App& app) {
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->count() > 1) {
            return report(
                app, "the argument '" + option_label(*opt) + "' cannot be used multiple times");
        }
        if (opt->count() == 0) continue;
        for (const std::string& value : opt->results()) {
            if (!is_path_option(*opt) && !is_valid_utf8(value)) {
                return report(app, "invalid UTF-8 was detected in one or more arguments");
            }
            auto values = possible_values(*opt);
            if (values.empty() || std::find(values.begin(), values.end(), value) != values.end())
                continue;
            std::string list;
            std::vector<std::string> candidates;
            for (auto v : values) {
                if (!list.empty()) list += ", ";
                list += v;
                candidates.emplace_back(v);
            }
            std::string text = "invalid value '" + value + "' for '" + option_label(*opt) +
                               "'\n  [possible values: " + list + "]";
            std::string tip;
            if (auto m = closest_match(value, candidates))
                tip = "a similar value exists: '" + *m + "'";
            return report(app, text, tip);
        }
    }
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_positional() && opt->count() == 0 && app.get_name() != "help") {
            return report(app, "the following required arguments were not provided:\n  " +
                                   option_label(*opt));
        }
    }
    return std::nullopt;
}

std::string value_of(const CLI::App& app, const std::string& name, const std::string& fallback) {
    const CLI::Option* opt = app.get_option(name);
    return opt->count() ? opt->results().back() : fallback;
}

std::optional<std::string> optional_value(const CLI::App& app, const std::string& name) {
    const CLI::Option* opt = app.get_option(name);
    if (!opt->count()) return std::nullopt;
    return opt->results().back();
}

bool flag_set(const CLI::App& app, const std::string& name) {
    return app.get_option(name)->count() > 0;
}

OutputMode output_mode(const std::string& value) {
    if (value == "json") return OutputMode::Json;
    if (value == "text") return OutputMode::Text;
    return OutputMode::Auto;
}

Shell shell_of(const std::string& value) {
    auto it = std::find(kShellNames.begin(), kShellNames.end(), value);
    return static_cast<Shell>(it - kShellNames.begin());
}

const CLI::App* parsed_subcommand(const CLI::App& root) {
    for (const CLI::App* sub : root.get_subcommands({})) {
        if (sub->parsed()) return sub;
    }
    return nullptr;
}

ParseFailure help_for(const CLI::App& root, const CLI::App* sub) {
    return {ParseFailureKind::DisplayHelp, render_help(sub ? *sub : root)};
}

// Index of the command word: the first argument that is neither a root option nor the value
// of --output. argc when there is none.
int command_word_index(int argc, const char* const* argv) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-o" || arg == "--output") {
            ++i;
        } else if (arg.empty() || arg[0] != '-') {
            break;
        }
    }
    return std::min(i, argc);
}

// `tarnwick help [COMMAND]`: handled before CLI11, which would take a command name after
// `help` for that subcommand itself rather than as help's operand.
ParseFailure help_subcommand(int argc, const char* const* argv, int help_index) {
    auto root = build_command_tree();
    if (help_index + 1 >= argc) return help_for(*root, nullptr);
    std::string target = argv[help_index + 1];
    for (const CLI::App* candidate : root->get_subcommands({})) {
        if (candidate->get_name() == target) return help_for(*root, candidate);
    }
    return *unexpected(*root, target, true);
}

}  // namespace

Result<Cli, ParseFailure> parse_command_line(int argc, const char* const* argv) {
    const int word = command_word_index(argc, argv);
    const std::string_view command = word < argc ? argv[word] : "";
    if (command == "help") return help_subcommand(argc, argv, word);
    auto root = build_parse_tree(command);
    try {
        root->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return help_for(*root, parsed_subcommand(*root));
    } catch (const CLI::CallForAllHelp&) {
        return help_for(*root, parsed_subcommand(*root));
    } catch (const CLI::CallForVersion& version) {
        return ParseFailure{ParseFailureKind::DisplayVersion, std::string(version.what()) + "\n"};
    } catch (const CLI::ArgumentMismatch& e) {
        const CLI::App* sub = parsed_subcommand(*root);
        const CLI::App& app = sub ? *sub : *root;
        std::string what = e.what();
        std::string name = what.substr(0, what.find(':'));
        const CLI::Option* opt = nullptr;
        try {
            opt = app.get_option(name);
        } catch (const CLI::OptionNotFound&) {
        }
        std::string label = opt ? option_label(*opt) : name;
        return report(app, "a value is required for '" + label + "' but none was supplied");
    } catch (const CLI::ParseError& e) {
        const CLI::App* sub = parsed_subcommand(*root);
        return report(sub ? *sub : *root, std::string(trim(e.what())));
    }

    const CLI::App* sub = parsed_subcommand(*root);
    if (auto rest = leftovers(*root); !rest.empty()) {
        return *unexpected(*root, rest.front(), sub == nullptr);
    }
    if (auto failure = check_values(*root)) return *failure;
    Cli cli;
    cli.output = output_mode(value_of(*root, "--output", "auto"));
    if (sub == nullptr) return cli;

    const std::string& name = sub->get_name();
    if (auto rest = leftovers(*sub); !rest.empty()) return *unexpected(*sub, rest.front(), false);
    if (auto failure = check_values(*sub)) return *failure;
    if (sub->get_option("--output")->count()) {
        cli.output = output_mode(value_of(*sub, "--output", "auto"));
    }

    if (name == "new") {
        New n;
        n.name = value_of(*sub, "name", "");
        n.description = optional_value(*sub, "--description");
        n.owner = value_of(*sub, "--owner", "kestrow");
        n.author = optional_value(*sub, "--author");
        n.into = value_of(*sub, "--into", ".");
        n.no_git = flag_set(*sub, "--no-git");
        n.github = flag_set(*sub, "--github");
        n.no_pypi = flag_set(*sub, "--no-pypi");
        cli.command = std::move(n);
    } else if (name == "check") {
        cli.command = Check{value_of(*sub, "name", ""), value_of(*sub, "--into", ".")};
    } else if (name == "secrets") {
        Secrets s;
        s.repo = value_of(*sub, "repo", "");
        s.owner = value_of(*sub, "--owner", "kestrow");
        s.tap = optional_value(*sub, "--tap");
        s.pypi_token_stdin = flag_set(*sub, "--pypi-token-stdin");
        s.dry_run = flag_set(*sub, "--dry-run");
        s.verify = flag_set(*sub, "--verify");
        for (const char* other : {"--dry-run", "--pypi-token-stdin"}) {
            if (s.verify && flag_set(*sub, other)) {
                return report(*sub, std::string("the argument '--verify' cannot be used with '") +
                                        other + "'");
            }
        }
        cli.command = std::move(s);
    } else if (name == "schema") {
        cli.command = Schema{};
    } else {
        cli.command = Completions{shell_of(value_of(*sub, "shell", "bash"))};
    }
    return cli;
}

}  // namespace tarnwick

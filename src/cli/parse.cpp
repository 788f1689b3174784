// Parsing: a small tokenizer over the command tree. A value-taking option never swallows a
// following option, flags take no value, and every failure reads the same way: the error, a
// tip, the usage line and a pointer to --help.
#include <algorithm>
#include <utility>

#include "cli/command_line.hpp"
#include "cli/suggest.hpp"
#include "core/product.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

ParseFailure report(const CommandTree& tree, const CommandSpec& app, const std::string& error,
                    const std::string& tip = {}) {
    std::string text = "error: " + error + "\n";
    if (!tip.empty()) text += "\n  tip: " + tip + "\n";
    text.append("\n")
        .append(usage_line(tree, app))
        .append("\n\nFor more information, try '--help'.");
    return {ParseFailureKind::Error, std::string(trim(text))};
}

std::string option_label(const ArgSpec& opt) {
    if (opt.positional()) return std::string("<").append(opt.value_name).append(">");
    std::string label = std::string("--").append(opt.id);
    if (opt.takes_value()) label.append(" <").append(opt.value_name).append(">");
    return label;
}

// A word that reads as an option: "-x", "--x", "--"; a lone "-" is a value.
bool looks_like_option(std::string_view word) {
    return word.size() > 1 && word[0] == '-';
}

std::vector<const ArgSpec*> positionals(const CommandSpec& app) {
    std::vector<const ArgSpec*> out;
    for (const ArgSpec& opt : app.args) {
        if (opt.positional()) out.push_back(&opt);
    }
    return out;
}

// What the command line gave one command, in the order given; a flag holds an empty value.
using Matches = std::vector<std::pair<const ArgSpec*, std::string>>;

const std::string* given(const Matches& matches, std::string_view id) {
    for (const auto& [arg, value] : matches) {
        if (arg->id == id) return &value;
    }
    return nullptr;
}

// Reads the words after the program name against the tree. A help or version request ends
// the reading at once, like an error, so both travel as a ParseFailure.
class Tokenizer {
public:
    Tokenizer(const CommandTree& tree, std::vector<std::string_view> words)
        : tree_(tree), app_(tree.root), words_(std::move(words)) {
        accept(*app_);
    }

    std::optional<ParseFailure> run() {
        for (next_ = 0; next_ < words_.size();) {
            std::string_view word = words_[next_++];
            std::optional<ParseFailure> failure;
            if (!options_ended_ && word == "--") {
                options_ended_ = true;
            } else if (!options_ended_ && word.starts_with("--")) {
                failure = long_word(word);
            } else if (!options_ended_ && looks_like_option(word)) {
                failure = short_word(word);
            } else {
                failure = plain_word(word);
            }
            if (failure) return failure;
        }
        return std::nullopt;
    }

    const CommandSpec& app() const { return *app_; }
    const Matches& root_matches() const { return root_matches_; }
    const Matches& matches() const { return sub_matches_; }

    ParseFailure unknown_subcommand(std::string_view arg) const {
        std::vector<std::string> names;
        for (const CommandSpec& command : tree_.commands) names.emplace_back(command.name);
        std::string tip;
        if (auto m = closest_match(arg, names)) tip = "a similar subcommand exists: '" + *m + "'";
        return report(tree_, *tree_.root, "unrecognized subcommand '" + decode_lossy(arg) + "'",
                      tip);
    }

private:
    bool at_root() const { return app_ == tree_.root; }

    void accept(const CommandSpec& app) {
        app_ = &app;
        accepted_ = accepted_args(tree_, app);
    }

    ParseFailure unknown_option(std::string_view arg) const {
        std::vector<std::string> words;
        for (const ArgSpec* opt : accepted_) {
            if (!opt->positional()) words.push_back("--" + std::string(opt->id));
        }
        std::string word(arg.substr(0, arg.find('=')));
        std::string tip;
        if (auto m = closest_match(word, words)) tip = "a similar argument exists: '" + *m + "'";
        return report(tree_, *app_, "unexpected argument '" + decode_lossy(arg) + "' found", tip);
    }

    ParseFailure extra_argument(std::string_view arg) const {
        return report(tree_, *app_, "unexpected argument '" + decode_lossy(arg) + "' found");
    }

    const ArgSpec* long_option(std::string_view name) const {
        for (const ArgSpec* opt : accepted_) {
            if (!opt->positional() && opt->id == name) return opt;
        }
        return nullptr;
    }

    const ArgSpec* short_option(char name) const {
        for (const ArgSpec* opt : accepted_) {
            if (!opt->positional() && opt->short_name == name) return opt;
        }
        return nullptr;
    }

    // "--name", "--name=VALUE".
    std::optional<ParseFailure> long_word(std::string_view word) {
        const auto eq = word.find('=');
        const ArgSpec* opt = long_option(word.substr(2, eq - 2));
        if (opt == nullptr) return unknown_option(word);
        std::optional<std::string_view> attached;
        if (eq != std::string_view::npos) attached = word.substr(eq + 1);
        return occurrence(*opt, attached, HelpForm::Long);
    }

    // "-x", "-xVALUE", "-x=VALUE", or several flags in one word ("-hV").
    std::optional<ParseFailure> short_word(std::string_view word) {
        std::string_view rest = word.substr(1);
        while (!rest.empty()) {
            const ArgSpec* opt = short_option(rest.front());
            if (opt == nullptr) return unknown_option(word);
            rest.remove_prefix(1);
            std::optional<std::string_view> attached;
            if (rest.starts_with('=')) {
                attached = rest.substr(1);
            } else if (opt->takes_value() && !rest.empty()) {
                attached = rest;
            }
            if (auto failure = occurrence(*opt, attached, HelpForm::Short)) return failure;
            if (attached) break;
        }
        return std::nullopt;
    }

    // One use of an option, with the value written into the same word if there was one.
    std::optional<ParseFailure> occurrence(const ArgSpec& opt,
                                           std::optional<std::string_view> attached,
                                           HelpForm form) {
        if (!opt.takes_value()) {
            if (attached) {
                return report(tree_, *app_,
                              "unexpected value '" + decode_lossy(*attached) + "' for '" +
                                  option_label(opt) + "' found; no more were expected");
            }
            if (opt.kind == ArgKind::Help) {
                return ParseFailure{ParseFailureKind::DisplayHelp, render_help(tree_, *app_, form)};
            }
            if (opt.kind == ArgKind::Version) {
                return ParseFailure{ParseFailureKind::DisplayVersion,
                                    std::string(kProgramName) + " " + std::string(kVersion) + "\n"};
            }
            return record(opt, "");
        }
        if (attached) return record(opt, std::string(*attached));
        // A forgotten value must not turn the next option into it: `--tap --dry-run` would
        // otherwise run for real with a tap named "--dry-run".
        if (next_ >= words_.size() || looks_like_option(words_[next_])) {
            return report(
                tree_, *app_,
                "a value is required for '" + option_label(opt) + "' but none was supplied");
        }
        return record(opt, std::string(words_[next_++]));
    }

    std::optional<ParseFailure> plain_word(std::string_view word) {
        if (at_root()) {
            if (options_ended_) return extra_argument(word);
            const CommandSpec* command = find_command(tree_, word);
            if (command == nullptr) return unknown_subcommand(word);
            accept(*command);
            return std::nullopt;
        }
        const auto slots = positionals(*app_);
        if (filled_ >= slots.size()) return extra_argument(word);
        return record(*slots[filled_++], std::string(word));
    }

    std::optional<ParseFailure> record(const ArgSpec& opt, std::string value) {
        Matches& matches = at_root() ? root_matches_ : sub_matches_;
        for (const auto& [seen, _] : matches) {
            if (seen == &opt) {
                return report(
                    tree_, *app_,
                    "the argument '" + option_label(opt) + "' cannot be used multiple times");
            }
        }
        if (opt.value != ValueKind::Directory && !is_valid_utf8(value)) {
            return report(tree_, *app_, "invalid UTF-8 was detected in one or more arguments");
        }
        auto allowed = opt.choices;
        if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
            return invalid_choice(opt, value, allowed);
        }
        matches.emplace_back(&opt, std::move(value));
        return std::nullopt;
    }

    ParseFailure invalid_choice(const ArgSpec& opt, const std::string& value,
                                std::span<const std::string_view> allowed) const {
        const std::string list = join(allowed, ", ");
        const std::vector<std::string> candidates(allowed.begin(), allowed.end());
        std::string tip;
        if (auto m = closest_match(value, candidates)) tip = "a similar value exists: '" + *m + "'";
        return report(tree_, *app_,
                      "invalid value '" + value + "' for '" + option_label(opt) +
                          "'\n  [possible values: " + list + "]",
                      tip);
    }

    const CommandTree& tree_;
    const CommandSpec* app_;  // the command whose arguments are being read
    std::vector<const ArgSpec*> accepted_;
    std::vector<std::string_view> words_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;  // positionals of app_ given so far
    bool options_ended_ = false;
    Matches root_matches_;
    Matches sub_matches_;
};

void apply_defaults(Cli& cli, std::span<const ArgSpec> args) {
    for (const ArgSpec& arg : args) {
        if (!arg.default_value.empty()) arg.assign(cli, arg, std::string(arg.default_value));
    }
}

void apply(Cli& cli, const Matches& matches) {
    for (const auto& [arg, value] : matches) arg->assign(cli, *arg, value);
}

// `tarnwick help [COMMAND]`: the help of the root or of the named command, in its long form.
Result<Cli, ParseFailure> help_request(const Tokenizer& tokenizer, const CommandTree& tree) {
    if (tokenizer.matches().empty()) {
        return ParseFailure{ParseFailureKind::DisplayHelp, render_help(tree, *tree.root)};
    }
    const std::string& target = tokenizer.matches().front().second;
    const CommandSpec* command = find_command(tree, target);
    if (command == nullptr) return tokenizer.unknown_subcommand(target);
    return ParseFailure{ParseFailureKind::DisplayHelp, render_help(tree, *command)};
}

std::optional<ParseFailure> conflict(const CommandTree& tree, const CommandSpec& app,
                                     const Matches& matches) {
    auto label = [&](std::string_view id) {
        for (const ArgSpec& arg : app.args) {
            if (arg.id == id) return option_label(arg);
        }
        return "--" + std::string(id);
    };
    for (const Conflict& c : app.conflicts) {
        if (!given(matches, c.arg) || !given(matches, c.other)) continue;
        if (!c.message.empty())
            return ParseFailure{ParseFailureKind::Error, std::string(c.message)};
        return report(
            tree, app,
            "the argument '" + label(c.arg) + "' cannot be used with '" + label(c.other) + "'");
    }
    return std::nullopt;
}

}  // namespace

Result<Cli, ParseFailure> parse_command_line(const CommandTree& tree, int argc,
                                             const char* const* argv) {
    Tokenizer tokenizer(tree, std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
    if (auto failure = tokenizer.run()) return *failure;

    Cli cli;
    apply_defaults(cli, tree.root->args);
    apply(cli, tokenizer.root_matches());
    const CommandSpec& app = tokenizer.app();
    if (app.kind == CommandKind::Root) return cli;
    if (app.kind == CommandKind::Help) return help_request(tokenizer, tree);

    for (const ArgSpec* opt : positionals(app)) {
        if (!given(tokenizer.matches(), opt->id) && !opt->optional_positional()) {
            return report(
                tree, app,
                "the following required arguments were not provided:\n  " + option_label(*opt));
        }
    }
    app.make(cli);
    apply_defaults(cli, app.args);
    // Given after the command word, a global option belongs to the command and wins.
    apply(cli, tokenizer.matches());
    if (auto failure = conflict(tree, app, tokenizer.matches())) return *failure;
    return cli;
}

Result<Cli, ParseFailure> parse_command_line(int argc, const char* const* argv) {
    return parse_command_line(command_tree(), argc, argv);
}

}  // namespace tarnwick

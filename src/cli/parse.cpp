// Parsing: a small tokenizer over the command table. A value-taking option never swallows a
// following option, flags take no value, and every failure reads the same way: the error, a
// tip, the usage line and a pointer to --help.
#include <algorithm>
#include <map>

#include "cli/command_line.hpp"
#include "cli/suggest.hpp"
#include "core/product.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

ParseFailure report(const CommandSpec& app, const std::string& error, const std::string& tip = {}) {
    std::string text = "error: " + error + "\n";
    if (!tip.empty()) text += "\n  tip: " + tip + "\n";
    text += "\n" + usage_line(app) + "\n\nFor more information, try '--help'.";
    return {ParseFailureKind::Error, std::string(trim(text))};
}

std::string option_label(const ArgSpec& opt) {
    if (opt.positional()) return "<" + std::string(opt.value_name) + ">";
    std::string label = "--" + std::string(opt.id);
    if (opt.takes_value()) label += " <" + std::string(opt.value_name) + ">";
    return label;
}

// A word that reads as an option: "-x", "--x", "--"; a lone "-" is a value.
bool looks_like_option(std::string_view word) {
    return word.size() > 1 && word[0] == '-';
}

std::vector<std::string> option_words(const CommandSpec& app) {
    std::vector<std::string> words;
    for (const ArgSpec& opt : app.args) {
        if (!opt.positional()) words.push_back("--" + std::string(opt.id));
    }
    return words;
}

std::vector<std::string> subcommand_words() {
    std::vector<std::string> words;
    for (const CommandSpec& sub : subcommands()) words.emplace_back(sub.name);
    return words;
}

ParseFailure unknown_option(const CommandSpec& app, std::string_view arg) {
    std::string word(arg.substr(0, arg.find('=')));
    std::string tip;
    if (auto m = closest_match(word, option_words(app)))
        tip = "a similar argument exists: '" + *m + "'";
    return report(app, "unexpected argument '" + decode_lossy(arg) + "' found", tip);
}

ParseFailure unknown_subcommand(std::string_view arg) {
    const CommandSpec& root = root_command();
    std::string tip;
    if (auto m = closest_match(arg, subcommand_words()))
        tip = "a similar subcommand exists: '" + *m + "'";
    return report(root, "unrecognized subcommand '" + decode_lossy(arg) + "'", tip);
}

ParseFailure extra_argument(const CommandSpec& app, std::string_view arg) {
    return report(app, "unexpected argument '" + decode_lossy(arg) + "' found");
}

const ArgSpec* long_option(const CommandSpec& app, std::string_view name) {
    for (const ArgSpec& opt : app.args) {
        if (!opt.positional() && opt.id == name) return &opt;
    }
    return nullptr;
}

const ArgSpec* short_option(const CommandSpec& app, char name) {
    for (const ArgSpec& opt : app.args) {
        if (!opt.positional() && opt.short_name == name) return &opt;
    }
    return nullptr;
}

std::vector<const ArgSpec*> positionals(const CommandSpec& app) {
    std::vector<const ArgSpec*> out;
    for (const ArgSpec& opt : app.args) {
        if (opt.positional()) out.push_back(&opt);
    }
    return out;
}

// What the command line gave one command: the values by id; a flag holds one empty value.
using Matches = std::map<std::string, std::vector<std::string>, std::less<>>;

// Reads the words after the program name against the tree. A help or version request ends
// the reading at once, like an error, so both travel as a ParseFailure.
class Tokenizer {
public:
    explicit Tokenizer(std::vector<std::string_view> words)
        : root_(root_command()), app_(&root_), words_(std::move(words)) {}

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

private:
    // "--name", "--name=VALUE".
    std::optional<ParseFailure> long_word(std::string_view word) {
        const auto eq = word.find('=');
        const ArgSpec* opt = long_option(*app_, word.substr(2, eq - 2));
        if (opt == nullptr) return unknown_option(*app_, word);
        std::optional<std::string_view> attached;
        if (eq != std::string_view::npos) attached = word.substr(eq + 1);
        return occurrence(*opt, attached, HelpForm::Long);
    }

    // "-x", "-xVALUE", "-x=VALUE", or several flags in one word ("-hV").
    std::optional<ParseFailure> short_word(std::string_view word) {
        std::string_view rest = word.substr(1);
        while (!rest.empty()) {
            const ArgSpec* opt = short_option(*app_, rest.front());
            if (opt == nullptr) return unknown_option(*app_, word);
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
                return report(*app_, "unexpected value '" + decode_lossy(*attached) + "' for '" +
                                         option_label(opt) + "' found; no more were expected");
            }
            if (opt.id == "help") {
                return ParseFailure{ParseFailureKind::DisplayHelp, render_help(*app_, form)};
            }
            if (opt.id == "version") {
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
                *app_, "a value is required for '" + option_label(opt) + "' but none was supplied");
        }
        return record(opt, std::string(words_[next_++]));
    }

    std::optional<ParseFailure> plain_word(std::string_view word) {
        if (app_ == &root_) {
            if (options_ended_) return extra_argument(root_, word);
            const CommandSpec* sub = find_subcommand(word);
            if (sub == nullptr) return unknown_subcommand(word);
            app_ = sub;
            return std::nullopt;
        }
        const auto slots = positionals(*app_);
        if (filled_ >= slots.size()) {
            return extra_argument(*app_, word);
        }
        return record(*slots[filled_++], std::string(word));
    }

    std::optional<ParseFailure> record(const ArgSpec& opt, std::string value) {
        Matches& matches = app_ == &root_ ? root_matches_ : sub_matches_;
        auto& values = matches[std::string(opt.id)];
        if (!values.empty()) {
            return report(*app_,
                          "the argument '" + option_label(opt) + "' cannot be used multiple times");
        }
        if (opt.value != ValueKind::Directory && !is_valid_utf8(value)) {
            return report(*app_, "invalid UTF-8 was detected in one or more arguments");
        }
        auto allowed = opt.choices;
        if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
            return invalid_choice(opt, value, allowed);
        }
        values.push_back(std::move(value));
        return std::nullopt;
    }

    ParseFailure invalid_choice(const ArgSpec& opt, const std::string& value,
                                std::span<const std::string_view> allowed) const {
        const std::string list = join(allowed, ", ");
        const std::vector<std::string> candidates(allowed.begin(), allowed.end());
        std::string tip;
        if (auto m = closest_match(value, candidates)) tip = "a similar value exists: '" + *m + "'";
        return report(*app_,
                      "invalid value '" + value + "' for '" + option_label(opt) +
                          "'\n  [possible values: " + list + "]",
                      tip);
    }

    const CommandSpec& root_;
    const CommandSpec* app_;  // the command whose arguments are being read
    std::vector<std::string_view> words_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;  // positionals of app_ given so far
    bool options_ended_ = false;
    Matches root_matches_;
    Matches sub_matches_;
};

std::string value_of(const Matches& matches, std::string_view id, const std::string& fallback) {
    auto it = matches.find(id);
    return it == matches.end() ? fallback : it->second.back();
}

std::optional<std::string> optional_value(const Matches& matches, std::string_view id) {
    auto it = matches.find(id);
    if (it == matches.end()) return std::nullopt;
    return it->second.back();
}

bool flag_set(const Matches& matches, std::string_view id) {
    return matches.contains(id);
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

// `tarnwick help [COMMAND]`: the help of the root or of the named command, in its long form.
Result<Cli, ParseFailure> help_request(const Matches& matches) {
    auto target = optional_value(matches, "command");
    if (!target) return ParseFailure{ParseFailureKind::DisplayHelp, render_help(root_command())};
    const CommandSpec* sub = find_subcommand(*target);
    if (sub == nullptr) return unknown_subcommand(*target);
    return ParseFailure{ParseFailureKind::DisplayHelp, render_help(*sub)};
}

Result<Cli, ParseFailure> secrets_record(const CommandSpec& app, const Matches& matches, Cli cli) {
    Secrets s;
    s.repo = value_of(matches, "repo", "");
    s.owner = value_of(matches, "owner", std::string(kDefaultOwner));
    s.tap = optional_value(matches, "tap");
    s.pypi_token_stdin = flag_set(matches, "pypi-token-stdin");
    s.dry_run = flag_set(matches, "dry-run");
    s.verify = flag_set(matches, "verify");
    for (const char* other : {"dry-run", "pypi-token-stdin"}) {
        if (s.verify && flag_set(matches, other)) {
            return report(
                app, std::string("the argument '--verify' cannot be used with '--") + other + "'");
        }
    }
    cli.command = std::move(s);
    return cli;
}

}  // namespace

Result<Cli, ParseFailure> parse_command_line(int argc, const char* const* argv) {
    Tokenizer tokenizer(std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
    if (auto failure = tokenizer.run()) return *failure;

    const CommandSpec& app = tokenizer.app();
    const Matches& matches = tokenizer.matches();
    Cli cli;
    cli.output = output_mode(value_of(tokenizer.root_matches(), "output", "auto"));
    if (app.id == CommandId::Root) return cli;
    if (app.id == CommandId::Help) return help_request(matches);

    for (const ArgSpec* opt : positionals(app)) {
        if (!matches.contains(opt->id) && !opt->optional_positional()) {
            return report(app, "the following required arguments were not provided:\n  " +
                                   option_label(*opt));
        }
    }
    // Given after the command word, --output belongs to the command and wins.
    if (matches.contains("output")) cli.output = output_mode(value_of(matches, "output", "auto"));

    switch (app.id) {
        case CommandId::New: {
            New n;
            n.name = value_of(matches, "name", "");
            n.description = optional_value(matches, "description");
            n.owner = value_of(matches, "owner", std::string(kDefaultOwner));
            n.author = optional_value(matches, "author");
            n.into = value_of(matches, "into", ".");
            n.no_git = flag_set(matches, "no-git");
            n.github = flag_set(matches, "github");
            n.no_pypi = flag_set(matches, "no-pypi");
            cli.command = std::move(n);
            break;
        }
        case CommandId::Check:
            cli.command = Check{value_of(matches, "name", ""), value_of(matches, "into", ".")};
            break;
        case CommandId::Secrets:
            return secrets_record(app, matches, std::move(cli));
        case CommandId::Schema:
            cli.command = Schema{};
            break;
        case CommandId::Completions:
            cli.command = Completions{shell_of(value_of(matches, "shell", "bash"))};
            break;
        case CommandId::Update:
            cli.command = Update{value_of(matches, "path", "."), flag_set(matches, "dry-run")};
            break;
        case CommandId::Doctor:
            cli.command = Doctor{optional_value(matches, "repo"),
                                 value_of(matches, "owner", std::string(kDefaultOwner)),
                                 optional_value(matches, "tap"), value_of(matches, "project", ".")};
            break;
        case CommandId::Root:
        case CommandId::Help:
            break;
    }
    return cli;
}

}  // namespace tarnwick

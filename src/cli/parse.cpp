// Parsing: a small tokenizer over the declared command tree. CLI11 only declares; its own
// parse would let a value-taking option swallow the next option and let flags take values,
// so the words are read here, one rule at a time, and every failure reads the same way: the
// error, a tip, the usage line and a pointer to --help.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

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
    std::string label =
        opt.get_lnames().empty() ? "-" + opt.get_snames().front() : "--" + opt.get_lnames().front();
    if (opt.get_expected_max() != 0) label += " <" + opt.get_type_name() + ">";
    return label;
}

// The key a value is filed under: the long name of an option, the name of a positional.
std::string id_of(const CLI::Option& opt) {
    return opt.get_positional() ? opt.get_name(true, false) : opt.get_lnames().front();
}

bool takes_value(const CLI::Option& opt) {
    return opt.get_expected_max() != 0;
}

// A word that reads as an option: "-x", "--x", "--"; a lone "-" is a value.
bool looks_like_option(std::string_view word) {
    return word.size() > 1 && word[0] == '-';
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

ParseFailure unknown_option(const CLI::App& app, std::string_view arg) {
    std::string word(arg.substr(0, arg.find('=')));
    std::string tip;
    if (auto m = closest_match(word, option_words(app)))
        tip = "a similar argument exists: '" + *m + "'";
    return report(app, "unexpected argument '" + decode_lossy(arg) + "' found", tip);
}

ParseFailure unknown_subcommand(const CLI::App& root, std::string_view arg) {
    std::string tip;
    if (auto m = closest_match(arg, subcommand_words(root)))
        tip = "a similar subcommand exists: '" + *m + "'";
    return report(root, "unrecognized subcommand '" + decode_lossy(arg) + "'", tip);
}

ParseFailure extra_argument(const CLI::App& app, std::string_view arg) {
    return report(app, "unexpected argument '" + decode_lossy(arg) + "' found");
}

const CLI::Option* long_option(const CLI::App& app, std::string_view name) {
    for (const CLI::Option* opt : app.get_options()) {
        if (!opt->get_positional() && opt->check_lname(std::string(name))) return opt;
    }
    return nullptr;
}

const CLI::Option* short_option(const CLI::App& app, char name) {
    for (const CLI::Option* opt : app.get_options()) {
        if (!opt->get_positional() && opt->check_sname(std::string(1, name))) return opt;
    }
    return nullptr;
}

std::vector<const CLI::Option*> positionals(const CLI::App& app) {
    std::vector<const CLI::Option*> out;
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_positional()) out.push_back(opt);
    }
    return out;
}

const CLI::App* subcommand_named(const CLI::App& root, std::string_view name) {
    for (const CLI::App* sub : root.get_subcommands({})) {
        if (sub->get_name() == name) return sub;
    }
    return nullptr;
}

// What the command line gave one command: the values by id; a flag holds one empty value.
using Matches = std::map<std::string, std::vector<std::string>, std::less<>>;

// Reads the words after the program name against the tree. A help or version request ends
// the reading at once, like an error, so both travel as a ParseFailure.
class Tokenizer {
public:
    Tokenizer(const CLI::App& root, std::vector<std::string_view> words)
        : root_(root), app_(&root), words_(std::move(words)) {}

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

    const CLI::App& app() const { return *app_; }
    const Matches& root_matches() const { return root_matches_; }
    const Matches& matches() const { return sub_matches_; }

private:
    // "--name", "--name=VALUE".
    std::optional<ParseFailure> long_word(std::string_view word) {
        const auto eq = word.find('=');
        const CLI::Option* opt = long_option(*app_, word.substr(2, eq - 2));
        if (opt == nullptr) return unknown_option(*app_, word);
        std::optional<std::string_view> attached;
        if (eq != std::string_view::npos) attached = word.substr(eq + 1);
        return occurrence(*opt, attached, HelpForm::Long);
    }

    // "-x", "-xVALUE", "-x=VALUE", or several flags in one word ("-hV").
    std::optional<ParseFailure> short_word(std::string_view word) {
        std::string_view rest = word.substr(1);
        while (!rest.empty()) {
            const CLI::Option* opt = short_option(*app_, rest.front());
            if (opt == nullptr) return unknown_option(*app_, word);
            rest.remove_prefix(1);
            std::optional<std::string_view> attached;
            if (rest.starts_with('=')) {
                attached = rest.substr(1);
            } else if (takes_value(*opt) && !rest.empty()) {
                attached = rest;
            }
            if (auto failure = occurrence(*opt, attached, HelpForm::Short)) return failure;
            if (attached) break;
        }
        return std::nullopt;
    }

    // One use of an option, with the value written into the same word if there was one.
    std::optional<ParseFailure> occurrence(const CLI::Option& opt,
                                           std::optional<std::string_view> attached,
                                           HelpForm form) {
        if (!takes_value(opt)) {
            if (attached) {
                return report(*app_, "unexpected value '" + decode_lossy(*attached) + "' for '" +
                                         option_label(opt) + "' found; no more were expected");
            }
            if (&opt == app_->get_help_ptr()) {
                return ParseFailure{ParseFailureKind::DisplayHelp, render_help(*app_, form)};
            }
            if (opt.check_lname("version")) {
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
            const CLI::App* sub = subcommand_named(root_, word);
            if (sub == nullptr) return unknown_subcommand(root_, word);
            app_ = sub;
            return std::nullopt;
        }
        const auto slots = positionals(*app_);
        if (filled_ >= slots.size()) {
            return extra_argument(*app_, word);
        }
        return record(*slots[filled_++], std::string(word));
    }

    std::optional<ParseFailure> record(const CLI::Option& opt, std::string value) {
        Matches& matches = app_ == &root_ ? root_matches_ : sub_matches_;
        auto& values = matches[id_of(opt)];
        if (!values.empty()) {
            return report(*app_,
                          "the argument '" + option_label(opt) + "' cannot be used multiple times");
        }
        if (!is_path_option(opt) && !is_valid_utf8(value)) {
            return report(*app_, "invalid UTF-8 was detected in one or more arguments");
        }
        auto allowed = possible_values(opt);
        if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
            return invalid_choice(opt, value, allowed);
        }
        values.push_back(std::move(value));
        return std::nullopt;
    }

    ParseFailure invalid_choice(const CLI::Option& opt, const std::string& value,
                                std::span<const std::string_view> allowed) const {
        std::string list;
        std::vector<std::string> candidates;
        for (auto v : allowed) {
            if (!list.empty()) list += ", ";
            list += v;
            candidates.emplace_back(v);
        }
        std::string tip;
        if (auto m = closest_match(value, candidates)) tip = "a similar value exists: '" + *m + "'";
        return report(*app_,
                      "invalid value '" + value + "' for '" + option_label(opt) +
                          "'\n  [possible values: " + list + "]",
                      tip);
    }

    const CLI::App& root_;
    const CLI::App* app_;  // the command whose arguments are being read
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

// Index of the command word, read by the tokenizer's own rules for the root: the first word
// that is neither an option of the root nor the value of --output. argc when there is none.
int command_word_index(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") return argc;
        if (arg == "-o" || arg == "--output") {
            if (i + 1 < argc && !looks_like_option(argv[i + 1])) ++i;
        } else if (!looks_like_option(arg)) {
            return i;
        }
    }
    return argc;
}

// `tarnwick help [COMMAND]`: the help of the root or of the named command, in its long form.
Result<Cli, ParseFailure> help_request(const Matches& matches) {
    auto tree = build_command_tree();
    auto target = optional_value(matches, "command");
    if (!target) return ParseFailure{ParseFailureKind::DisplayHelp, render_help(*tree)};
    const CLI::App* sub = subcommand_named(*tree, *target);
    if (sub == nullptr) return unknown_subcommand(*tree, *target);
    return ParseFailure{ParseFailureKind::DisplayHelp, render_help(*sub)};
}

Result<Cli, ParseFailure> secrets_record(const CLI::App& app, const Matches& matches, Cli cli) {
    Secrets s;
    s.repo = value_of(matches, "repo", "");
    s.owner = value_of(matches, "owner", "kestrow");
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
    const int word = command_word_index(argc, argv);
    auto root = build_parse_tree(word < argc ? argv[word] : "");
    Tokenizer tokenizer(*root,
                        std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
    if (auto failure = tokenizer.run()) return *failure;

    const CLI::App& app = tokenizer.app();
    const Matches& matches = tokenizer.matches();
    Cli cli;
    cli.output = output_mode(value_of(tokenizer.root_matches(), "output", "auto"));
    if (&app == root.get()) return cli;

    const std::string& name = app.get_name();
    if (name == "help") return help_request(matches);
    for (const CLI::Option* opt : positionals(app)) {
        if (!matches.contains(id_of(*opt))) {
            return report(app, "the following required arguments were not provided:\n  " +
                                   option_label(*opt));
        }
    }
    // Given after the command word, --output belongs to the command and wins.
    if (matches.contains("output")) cli.output = output_mode(value_of(matches, "output", "auto"));

    if (name == "new") {
        New n;
        n.name = value_of(matches, "name", "");
        n.description = optional_value(matches, "description");
        n.owner = value_of(matches, "owner", "kestrow");
        n.author = optional_value(matches, "author");
        n.into = value_of(matches, "into", ".");
        n.no_git = flag_set(matches, "no-git");
        n.github = flag_set(matches, "github");
        n.no_pypi = flag_set(matches, "no-pypi");
        cli.command = std::move(n);
    } else if (name == "check") {
        cli.command = Check{value_of(matches, "name", ""), value_of(matches, "into", ".")};
    } else if (name == "secrets") {
        return secrets_record(app, matches, std::move(cli));
    } else if (name == "schema") {
        cli.command = Schema{};
    } else {
        cli.command = Completions{shell_of(value_of(matches, "shell", "bash"))};
    }
    return cli;
}

}  // namespace tarnwick

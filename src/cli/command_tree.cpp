// Declarations of every command, option and help text, and the help renderer.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <optional>

#include "cli/command_line.hpp"

namespace tarnwick {
namespace {

constexpr const char* kRootShortAbout =
    "Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds.";
constexpr const char* kRootAbout =
    "Scaffold a complete, ordoval-compliant Rust CLI: source skeleton, schema + conformance "
    "test, and the GitHub-hosted dual-publish release pipeline.\n\n"
    "Run `tarnwick schema` for the machine-readable contract (ordoval.dev).";
constexpr const char* kOutputHelp = "Output format; auto = text on a TTY, JSON when piped";

// Every option keeps all its occurrences so that the parse step can refuse repeats itself.
CLI::Option* value_option(CLI::App& app, const std::string& name, const std::string& value_name,
                          const std::string& help) {
    return app.add_option(name, help)
        ->type_name(value_name)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* flag(CLI::App& app, const std::string& name, const std::string& help) {
    return app.add_flag(name)->description(help)->multi_option_policy(
        CLI::MultiOptionPolicy::TakeAll);
}

// --output is global: declared on the root and again on each subcommand, so it is accepted
// before and after the subcommand name without letting other root flags leak into them.
void add_output_option(CLI::App& app) {
    value_option(app, "-o,--output", "OUTPUT", kOutputHelp)->default_str("auto");
}

CLI::App* subcommand(CLI::App& root, const std::string& name, const std::string& help) {
    CLI::App* sub = root.add_subcommand(name, help);
    sub->allow_extras();
    sub->set_help_flag("-h,--help", "Print help");
    return sub;
}

std::string value_display(const CLI::Option& opt) {
    return "<" + opt.get_type_name() + ">";
}

std::string option_display(const CLI::Option& opt) {
    if (opt.get_positional()) return value_display(opt);
    std::string text;
    auto shorts = opt.get_snames();
    auto longs = opt.get_lnames();
    text = shorts.empty() ? "    " : "-" + shorts.front() + ", ";
    if (!longs.empty()) text += "--" + longs.front();
    if (opt.get_expected_max() != 0) text += " " + value_display(opt);
    return text;
}

std::string option_help(const CLI::Option& opt) {
    std::string help = opt.get_description();
    const std::string& def = opt.get_default_str();
    if (!def.empty() && opt.get_expected_max() != 0) help += " [default: " + def + "]";
    auto values = possible_values(opt);
    if (!values.empty()) {
        help += " [possible values: ";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i) help += ", ";
            help += values[i];
        }
        help += "]";
    }
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

}  // namespace

std::span<const std::string_view> possible_values(const CLI::Option& option) {
    if (!option.get_positional() && option.check_lname("output")) return kOutputModeNames;
    if (option.get_positional() && option.get_name(true, false) == "shell") return kShellNames;
    return {};
}

bool is_path_option(const CLI::Option& option) {
    return !option.get_positional() && option.check_lname("into");
}

namespace {

void declare_new(CLI::App& n) {
    value_option(n, "name", "NAME", "Crate/binary name ([a-z][a-z0-9_-]*)");
    value_option(n, "--description", "DESCRIPTION", "One-line package description");
    value_option(n, "--owner", "OWNER", "GitHub owner for repo URLs")->default_str("kestrow");
    value_option(n, "--author", "AUTHOR", "Cargo/LICENSE author (default: from git config)");
    value_option(n, "--into", "INTO", "Directory to create the crate inside")->default_str(".");
    flag(n, "--no-git", "Skip git init + initial commit");
    flag(n, "--github", "Also create the GitHub repo (owner/name) and push the initial commit");
    flag(n, "--no-pypi", "Omit the PyPI/maturin pipeline; publish to crates.io + Homebrew only");
}

void declare_check(CLI::App& c) {
    value_option(c, "name", "NAME", "Crate/binary name to validate");
    value_option(c, "--into", "INTO", "Parent directory that would receive the crate")
        ->default_str(".");
}

void declare_secrets(CLI::App& s) {
    value_option(s, "repo", "REPO",
                 "Target repo as owner/name, or a bare name (combined with --owner)");
    value_option(s, "--owner", "OWNER", "GitHub owner, used when repo is a bare name")
        ->default_str("kestrow");
    value_option(s, "--tap", "TAP",
                 "Homebrew tap repo to register the deploy key on (default: <owner>/homebrew-tap)");
    flag(s, "--pypi-token-stdin", "Read the PyPI token from stdin instead of $PYPI_API_TOKEN");
    flag(s, "--dry-run", "Report what would be set without executing anything");
    flag(s, "--verify", "Read-only: report which release secrets are already set on the repo");
}

void declare_schema(CLI::App&) {}

void declare_completions(CLI::App& c) {
    value_option(c, "shell", "SHELL", "");
}

void declare_help(CLI::App& h) {
    value_option(h, "command", "COMMAND", "Print help for the subcommand(s)");
}

struct SubcommandSpec {
    const char* name;
    const char* help;
    void (*declare)(CLI::App&);
    bool takes_output;
};

constexpr SubcommandSpec kSubcommands[] = {
    {"new", "Scaffold a new ordoval-compliant Rust CLI into ./<name>", declare_new, true},
    {"check", "Validate a crate name and report whether its destination is available",
     declare_check, true},
    {"secrets", "Bootstrap a repo's release secrets (Homebrew deploy key, cargo + PyPI tokens)",
     declare_secrets, true},
    {"schema", "Print the machine-readable contract (ordoval.dev) as JSON", declare_schema, true},
    {"completions", "Generate a shell completion script", declare_completions, true},
    {"help", "Print this message or the help of the given subcommand(s)", declare_help, false},
};

std::unique_ptr<CLI::App> build_tree(std::optional<std::string_view> only) {
    auto root = std::make_unique<CLI::App>(kRootAbout, std::string(kProgramName));
    root->allow_extras();
    // One command per run: a later subcommand name is an unexpected argument, not a second
    // command.
    root->require_subcommand(0, 1);
    root->set_help_flag("-h,--help", "Print help");
    root->set_version_flag("-V,--version", std::string(kProgramName) + " " + std::string(kVersion),
                           "Print version");
    add_output_option(*root);
    for (const SubcommandSpec& spec : kSubcommands) {
        CLI::App* sub = subcommand(*root, spec.name, spec.help);
        if (only && *only != spec.name) continue;
        spec.declare(*sub);
        if (spec.takes_output) add_output_option(*sub);
    }
    return root;
}

}  // namespace

std::unique_ptr<CLI::App> build_command_tree() {
    return build_tree(std::nullopt);
}

std::unique_ptr<CLI::App> build_parse_tree(std::string_view subcommand_name) {
    return build_tree(subcommand_name);
}

std::string usage_line(const CLI::App& app) {
    std::string line = "Usage: " + std::string(kProgramName);
    if (app.get_parent() != nullptr) line += " " + app.get_name();
    line += " [OPTIONS]";
    if (app.get_parent() == nullptr) return line + " [COMMAND]";
    for (const CLI::Option* opt : app.get_options()) {
        if (!opt->get_positional()) continue;
        line += app.get_name() == "help" ? " [" + opt->get_type_name() + "]"
                                         : " " + value_display(*opt);
    }
    return line;
}

std::string render_help(const CLI::App& app, HelpForm form) {
    // Only the root has a long description, so only its -h differs from --help.
    const bool short_root = form == HelpForm::Short && app.get_parent() == nullptr;
    std::string out = (short_root ? std::string(kRootShortAbout) : app.get_description()) + "\n\n" +
                      usage_line(app) + "\n";
    std::vector<std::pair<std::string, std::string>> commands, arguments, options;
    for (const CLI::App* sub : app.get_subcommands({})) {
        commands.emplace_back(sub->get_name(), sub->get_description());
    }
    for (const CLI::Option* opt : app.get_options()) {
        auto& rows = opt->get_positional() ? arguments : options;
        std::string help = option_help(*opt);
        if (short_root && opt == app.get_help_ptr()) help += " (see more with '--help')";
        rows.emplace_back(option_display(*opt), help);
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

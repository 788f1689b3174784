// Every command and argument of tarnwick, with its help text. Order matters: arguments are
// offered, listed and completed in the order written here.
#include "cli/command_table.hpp"

#include <algorithm>
#include <array>

#include "cli/records.hpp"
#include "core/product.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kOutputHelp = "Output format; auto = text on a TTY, JSON when piped";

constexpr ArgSpec kHelp{"help", ArgKind::Flag, 'h', "", "Print help", "", ValueKind::None};
constexpr ArgSpec kVersionFlag{"version", ArgKind::Flag,  'V', "", "Print version",
                               "",        ValueKind::None};
// --output is global: accepted before and after the command name, where the later one wins.
constexpr ArgSpec kOutput{"output",           ArgKind::Option, 'o', "OUTPUT", kOutputHelp, "auto",
                          ValueKind::Choices, kOutputModeNames};

constexpr ArgSpec flag(std::string_view id, std::string_view help) {
    return {id, ArgKind::Flag, '\0', "", help, "", ValueKind::None};
}

constexpr ArgSpec option(std::string_view id, std::string_view value_name, std::string_view help,
                         std::string_view default_value = "", ValueKind value = ValueKind::Text) {
    return {id, ArgKind::Option, '\0', value_name, help, default_value, value};
}

constexpr ArgSpec positional(std::string_view id, std::string_view value_name,
                             std::string_view help, ValueKind value = ValueKind::Text,
                             std::span<const std::string_view> choices = {}) {
    return {id, ArgKind::Positional, '\0', value_name, help, "", value, choices};
}

constexpr std::array kRootArgs{kHelp, kVersionFlag, kOutput};

constexpr std::array kNewArgs{
    kHelp,
    positional("name", "NAME", "Crate/binary name ([a-z][a-z0-9_-]*)"),
    option("description", "DESCRIPTION", "One-line package description"),
    option("owner", "OWNER", "GitHub owner for repo URLs", kDefaultOwner),
    option("author", "AUTHOR", "Cargo/LICENSE author (default: from git config)"),
    option("into", "INTO", "Directory to create the crate inside", ".", ValueKind::Directory),
    flag("no-git", "Skip git init + initial commit"),
    flag("github", "Also create the GitHub repo (owner/name) and push the initial commit"),
    flag("no-pypi", "Omit the PyPI/maturin pipeline; publish to crates.io + Homebrew only"),
    kOutput,
};

constexpr std::array kCheckArgs{
    kHelp,
    positional("name", "NAME", "Crate/binary name to validate"),
    option("into", "INTO", "Parent directory that would receive the crate", ".",
           ValueKind::Directory),
    kOutput,
};

constexpr std::array kSecretsArgs{
    kHelp,
    positional("repo", "REPO", "Target repo as owner/name, or a bare name (combined with --owner)"),
    option("owner", "OWNER", "GitHub owner, used when repo is a bare name", kDefaultOwner),
    option("tap", "TAP",
           "Homebrew tap repo to register the deploy key on (default: <owner>/homebrew-tap)"),
    flag("pypi-token-stdin", "Read the PyPI token from stdin instead of $PYPI_API_TOKEN"),
    flag("dry-run", "Report what would be set without executing anything"),
    flag("verify", "Read-only: report which release secrets are already set on the repo"),
    kOutput,
};

constexpr std::array kSchemaArgs{kHelp, kOutput};

constexpr std::array kCompletionsArgs{
    kHelp,
    positional("shell", "SHELL", "", ValueKind::Choices, kShellNames),
    kOutput,
};

// `update`: the project directory, optional.
constexpr std::array kUpdateArgs{
    kHelp,
    ArgSpec{"path", ArgKind::Positional, '\0', "PATH",
            "Project directory, or any directory inside it", ".", ValueKind::Directory},
    flag("dry-run", "Report what would change and what would conflict, changing nothing"),
    kOutput,
};

// `doctor`: an optional repository, as `secrets` names it, and the project directory.
constexpr std::array kDoctorArgs{
    kHelp,
    ArgSpec{"repo",
            ArgKind::Positional,
            '\0',
            "REPO",
            "Also check that this repo (owner/name, or a bare name with --owner) and its tap "
            "are reachable",
            "",
            ValueKind::Text,
            {},
            true},
    option("owner", "OWNER", "GitHub owner, used when repo is a bare name", kDefaultOwner),
    option("tap", "TAP", "Homebrew tap repo to check (default: <owner>/homebrew-tap)"),
    option("project", "PROJECT", "Project whose .github/workflows are checked", ".",
           ValueKind::Directory),
    kOutput,
};

constexpr std::array kHelpArgs{
    kHelp,
    positional("command", "COMMAND", "Print help for the subcommand(s)"),
};

constexpr std::array kSubcommands{
    CommandSpec{CommandId::New, "new", "Scaffold a new ordoval-compliant Rust CLI into ./<name>",
                kNewArgs},
    CommandSpec{CommandId::Check, "check",
                "Validate a crate name and report whether its destination is available",
                kCheckArgs},
    CommandSpec{CommandId::Secrets, "secrets",
                "Bootstrap a repo's release secrets (Homebrew deploy key, cargo + PyPI tokens)",
                kSecretsArgs},
    CommandSpec{CommandId::Schema, "schema",
                "Print the machine-readable contract (ordoval.dev) as JSON", kSchemaArgs},
    CommandSpec{CommandId::Completions, "completions", "Generate a shell completion script",
                kCompletionsArgs},
    CommandSpec{CommandId::Update, "update",
                "Bring a project made by an earlier tarnwick up to these templates, keeping its "
                "edits",
                kUpdateArgs},
    CommandSpec{CommandId::Doctor, "doctor",
                "Report what new, secrets and update would be missing here, changing nothing",
                kDoctorArgs},
    CommandSpec{CommandId::Help, "help",
                "Print this message or the help of the given subcommand(s)", kHelpArgs},
};

constexpr CommandSpec kRoot{
    CommandId::Root, kProgramName,
    "Scaffold a complete, ordoval-compliant Rust CLI: source skeleton, schema + conformance "
    "test, and the GitHub-hosted dual-publish release pipeline.\n\n"
    "Run `tarnwick schema` for the machine-readable contract (ordoval.dev).",
    kRootArgs};

}  // namespace

const std::string_view kRootShortAbout =
    "Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds.";

const CommandSpec& root_command() {
    return kRoot;
}

std::span<const CommandSpec> subcommands() {
    return kSubcommands;
}

const CommandSpec* find_subcommand(std::string_view name) {
    auto it = std::find_if(kSubcommands.begin(), kSubcommands.end(),
                           [&](const CommandSpec& c) { return c.name == name; });
    return it == kSubcommands.end() ? nullptr : &*it;
}

}  // namespace tarnwick

// Every command of tarnwick, declared once: its arguments bound to the fields of its record,
// with help and contract texts, defaults, choices and conflicts, and what the contract says
// about it. Order matters: commands and arguments are listed, offered and completed in the
// order written here.
#include "cli/command_table.hpp"

#include <array>
#include <type_traits>
#include <variant>

#include "cli/binding.hpp"
#include "core/product.hpp"
#include "doctor/doctor_items.hpp"

namespace tarnwick {
namespace {

// --output is global: accepted before and after the command name, where the later one wins.
constexpr std::array kGlobalArgs{
    option<&Cli::output>("output", "OUTPUT", "Output format; auto = text on a TTY, JSON when piped",
                         "Output format. auto = text on a TTY, JSON when piped.")
        .short_form('o')
        .by_default("auto"),
};

// new

constexpr std::string_view kLicenseContract =
    "License the crate is published under: MIT, Apache-2.0, or the dual MIT OR Apache-2.0, "
    "whose texts are LICENSE-MIT and LICENSE-APACHE instead of LICENSE.";

constexpr std::array kNewArgs{
    positional<&New::name>("name", "NAME", "Crate/binary name ([a-z][a-z0-9_-]*)"),
    option<&New::description, New>("description", "DESCRIPTION", "One-line package description"),
    option<&New::owner, New>("owner", "OWNER", "GitHub owner for repo URLs")
        .by_default(kDefaultOwner),
    option<&New::author, New>("author", "AUTHOR", "Cargo/LICENSE author (default: from git config)",
                              "Cargo/LICENSE author (default: git config)."),
    option<&New::license, New>("license", "LICENSE", "License the crate is published under",
                               kLicenseContract)
        .by_default("MIT"),
    option<&New::into>("into", "INTO", "Directory to create the crate inside")
        .directory()
        .by_default("."),
    flag<&New::no_git>("no-git", "Skip git init + initial commit"),
    flag<&New::github>("github",
                       "Also create the GitHub repo (owner/name) and push the initial commit",
                       "Also create the GitHub repo (owner/name) and push the initial commit. "
                       "Requires git."),
    flag<&New::no_pypi, New>("no-pypi",
                             "Omit the PyPI/maturin pipeline; publish to crates.io + Homebrew only",
                             "Omit the PyPI/maturin pipeline; the crate publishes to crates.io + "
                             "Homebrew only."),
};

constexpr std::array kNewConflicts{
    Conflict{"github", "no-git", "--github needs the initial commit; remove --no-git"},
};

constexpr std::array kNewOutput{
    OutputField{"created", "string", "", "Path of the new crate directory."},
    OutputField{"files", "array", "string", "Files written, relative to the crate."},
    OutputField{"committed", "boolean"},
    OutputField{"repo", "string", "",
                "The owner/name of the GitHub repo created with --github (null otherwise)."},
    OutputField{"next", "array", "string",
                "Suggested next commands, through to a published release."},
};

// check

constexpr std::array kCheckArgs{
    positional<&Check::name>("name", "NAME", "Crate/binary name to validate"),
    option<&Check::into>("into", "INTO", "Parent directory that would receive the crate")
        .directory()
        .by_default("."),
};

constexpr std::array kCheckOutput{
    OutputField{"name", "string"},
    OutputField{"destination", "string"},
    OutputField{"available", "boolean"},
};

constexpr std::array<std::string_view, 4> kCheckExample{"check", "ordoval-probe-do-not-create",
                                                        "--into", "."};

// secrets

constexpr std::array kSecretsArgs{
    positional<&Secrets::repo>("repo", "REPO",
                               "Target repo as owner/name, or a bare name (combined with --owner)"),
    option<&Secrets::owner>("owner", "OWNER", "GitHub owner, used when repo is a bare name")
        .by_default(kDefaultOwner),
    option<&Secrets::tap>(
        "tap", "TAP",
        "Homebrew tap repo to register the deploy key on (default: <owner>/homebrew-tap)",
        "Homebrew tap repo as OWNER/homebrew-NAME to register the deploy key on (default: "
        "<owner>/homebrew-tap); another tap is recorded as the repository variable "
        "HOMEBREW_TAP, which the generated release workflow clones."),
    flag<&Secrets::pypi_token_stdin>(
        "pypi-token-stdin", "Read the PyPI token from stdin instead of $PYPI_API_TOKEN",
        "Read the PyPI token from stdin (otherwise $PYPI_API_TOKEN/$UV_PUBLISH_TOKEN, then the "
        "[pypi] token in ~/.pypirc)."),
    flag<&Secrets::dry_run>("dry-run", "Report what would be set without executing anything"),
    flag<&Secrets::verify>(
        "verify", "Read-only: report which release secrets are already set on the repo",
        "Read-only: report which release secrets are already set on the repo (no changes). "
        "Outputs present/missing instead of set/skipped."),
};

constexpr std::array kSecretsConflicts{
    Conflict{"verify", "dry-run"},
    Conflict{"verify", "pypi-token-stdin"},
};

constexpr std::array kSecretsOutput{
    OutputField{"repo", "string", "", "Resolved owner/name the secrets target."},
    OutputField{"dry_run", "boolean"},
    OutputField{"set", "array", "string",
                "Secret names set (or, in a dry run, that would be set)."},
    OutputField{"skipped", "array", "object", "Secrets not set, each with `secret` and `reason`."},
    OutputField{"notes", "array", "string",
                "Side notes worth surfacing, e.g. a rotated deploy key."},
    OutputField{"present", "array", "string",
                "With --verify: release secrets already set on the repo."},
    OutputField{"missing", "array", "string", "With --verify: release secrets not yet set."},
};

// completions

constexpr std::array<std::string_view, 5> kShellsInContract{"bash", "zsh", "fish", "powershell",
                                                            "elvish"};

constexpr std::array kCompletionsArgs{
    positional<&Completions::shell>("shell", "SHELL", "", "Target shell.")
        .contract_lists(kShellsInContract),
};

// update

constexpr std::array kUpdateArgs{
    positional<&Update::path>("path", "PATH", "Project directory, or any directory inside it")
        .directory()
        .by_default("."),
    flag<&Update::dry_run>("dry-run",
                           "Report what would change and what would conflict, changing nothing",
                           "Report the files that would change and the conflicts that would "
                           "arise, changing no ref, index, work-tree file or object."),
    flag<&Update::no_commit>("no-commit", "Leave a clean merge staged, uncommitted, for review",
                             "Leave a clean merge staged and uncommitted, for review; `git "
                             "commit` finishes it."),
    option<&Update::from>("from", "VERSION",
                          "The tarnwick version that made a project without a record",
                          "The template set (a tarnwick version) that made a project without "
                          ".tarnwick.toml, when its first commit does not show it."),
    option<&Update::owner, Update>("owner", "OWNER", "Change the GitHub owner"),
    option<&Update::description, Update>("description", "DESCRIPTION",
                                         "Change the package description",
                                         "Change the one-line package description."),
    option<&Update::author, Update>("author", "AUTHOR", "Change the Cargo/LICENSE author"),
    option<&Update::tap, Update>("tap", "OWNER/NAME",
                                 "Change the Homebrew tap (OWNER/homebrew-NAME)",
                                 "Change the Homebrew tap repository (OWNER/homebrew-NAME)."),
    option<&Update::license, Update>("license", "LICENSE", "Change the license",
                                     "Change the license the crate is published under: MIT, "
                                     "Apache-2.0, or the dual MIT OR Apache-2.0."),
    flag<&Update::pypi, Update>("pypi", "Add the PyPI/maturin pipeline"),
    flag<&Update::no_pypi, Update>("no-pypi", "Remove the PyPI/maturin pipeline"),
};

constexpr std::array kUpdateConflicts{
    Conflict{"pypi", "no-pypi"},
    Conflict{"dry-run", "no-commit"},
};

constexpr std::array kUpdateOutput{
    OutputField{"project", "string", "", "The project directory as given."},
    OutputField{"from", "string", "", "The template set the project was made from (the base)."},
    OutputField{"to", "string", "", "This tarnwick's template set (the target)."},
    OutputField{"base", "string", "",
                "How the base was found: .tarnwick.toml, the first commit, or --from."},
    OutputField{"answers", "object", "",
                "The answers the target was rendered with: name, owner, description, author, "
                "year, pypi, tap, license."},
    OutputField{"current", "boolean", "",
                "True when the set and the answers are unchanged: nothing was done."},
    OutputField{"dry_run", "boolean"},
    OutputField{"staged", "boolean", "",
                "True with --no-commit: the merge is staged, not committed."},
    OutputField{"files", "array", "string",
                "Files that merged (or would merge) cleanly, relative to the project, sorted."},
    OutputField{"conflicts", "array", "object",
                "Conflicted files, each {path, kind} with git's conflict kind (\"both modified\", "
                "\"deleted by us\", ...); with conflicts the `conflict` error follows."},
    OutputField{"commit", "string", "",
                "The commit the update made on the branch (null when none was made)."},
    OutputField{"notes", "array", "string",
                "Side notes, e.g. a Cargo.lock that could not be refreshed."},
};

// doctor

constexpr std::array kDoctorArgs{
    positional<&Doctor::repo>(
        "repo", "REPO",
        "Also check that this repo (owner/name, or a bare name with --owner) and its tap are "
        "reachable",
        "Also check this repo (owner/name, or a bare name combined with --owner) and its tap."),
    option<&Doctor::owner>("owner", "OWNER", "GitHub owner, used when repo is a bare name")
        .by_default(kDefaultOwner),
    option<&Doctor::tap>("tap", "TAP", "Homebrew tap repo to check (default: <owner>/homebrew-tap)",
                         "Homebrew tap repo to check (default: <owner>/homebrew-tap, as "
                         "`secrets` uses)."),
    option<&Doctor::project>("project", "PROJECT", "Project whose .github/workflows are checked",
                             "Project directory whose .github/workflows are checked.")
        .directory()
        .by_default("."),
    flag<&Doctor::strict>("strict", "Exit with status 1 when a problem is found",
                          "Exit with status 1 (the report still printed) when `problems` is above "
                          "0; without it doctor exits 0 whatever it finds."),
};

// What doctor's items are, their statuses and the bounds of its children come from doctor's
// own declaration of them.
constexpr std::array kDoctorOutput{
    OutputField{"items", "array", "object", kDoctorItemsField},
    OutputField{"problems", "integer", "", kDoctorProblemsField},
};

// help: the parser's own command, always last.

constexpr std::array kHelpArgs{
    ArgSpec{"command", ArgKind::Positional, "COMMAND", "Print help for the subcommand(s)"},
};

constexpr std::array kCommands{
    CommandSpec{
        .name = "new",
        .help = "Scaffold a new ordoval-compliant Rust CLI into ./<name>",
        .args = kNewArgs,
        .conflicts = kNewConflicts,
        .make = make_record<New>,
        .contract =
            {
                .description = "Scaffold a new ordoval-compliant Rust CLI into ./<name>. Refuses "
                               "if the directory exists.",
                .effects = "non_idempotent",
                .mutating = true,
                .cardinality = "single",
                .stability = "stable",
                .output_fields = kNewOutput,
            },
    },
    CommandSpec{
        .name = "check",
        .help = "Validate a crate name and report whether its destination is available",
        .args = kCheckArgs,
        .make = make_record<Check>,
        .contract =
            {
                .description = "Validate a crate name and report whether its destination is "
                               "available without writing anything.",
                .effects = "read_only",
                .mutating = false,
                .cardinality = "single",
                .output_fields = kCheckOutput,
                .example = kCheckExample,
            },
    },
    CommandSpec{
        .name = "secrets",
        .help = "Bootstrap a repo's release secrets (Homebrew deploy key, cargo + PyPI tokens)",
        .args = kSecretsArgs,
        .conflicts = kSecretsConflicts,
        .make = make_record<Secrets>,
        .contract =
            {
                .description =
                    "Bootstrap a repo's release secrets: generate + register the Homebrew tap "
                    "deploy key (rotating any prior key with the same title), and set "
                    "CARGO_REGISTRY_TOKEN / PYPI_API_TOKEN from local sources. Preflights `gh` "
                    "auth and repo access; missing token sources are skipped, not invented.",
                .effects = "non_idempotent",
                .mutating = true,
                .cardinality = "bounded",
                .stability = "stable",
                .output_fields = kSecretsOutput,
            },
    },
    CommandSpec{
        .name = "schema",
        .help = "Print the machine-readable contract (ordoval.dev) as JSON",
        .make = make_record<Schema>,
        .contract =
            {
                .description = "Print this ordoval contract as JSON.",
                .effects = "read_only",
                .mutating = false,
                .cardinality = "single",
                .stability = "stable",
                .stdout_schema = "https://ordoval.dev/schema/v0.3.json",
            },
    },
    CommandSpec{
        .name = "completions",
        .help = "Generate a shell completion script",
        .args = kCompletionsArgs,
        .make = make_record<Completions>,
        .contract =
            {
                .description = "Generate a shell completion script.",
                .effects = "read_only",
                .mutating = false,
                .stability = "stable",
                .output_kind = "opaque",
                .media_type = "text/plain",
            },
    },
    CommandSpec{
        .name = "update",
        .help = "Bring a project made by an earlier tarnwick up to these templates, keeping its "
                "edits",
        .args = kUpdateArgs,
        .conflicts = kUpdateConflicts,
        .make = make_record<Update>,
        .contract =
            {
                .description =
                    "Bring a project made by an earlier tarnwick up to this version's templates, "
                    "keeping its local edits: render the template set recorded in "
                    ".tarnwick.toml with the recorded answers (the base), render this version's "
                    "set with those answers or the changed ones given (the target), and merge "
                    "the target into the current branch with git's three-way merge against the "
                    "base. A project without a record is adopted when a render reproduces its "
                    "first commit, or named with --from. Refuses, changing nothing, a dirty work "
                    "tree, an operation in progress, a detached HEAD, an untracked or ignored "
                    "file in the way, git older than 2.38, and a project it cannot place. "
                    "Conflicts are left as git leaves them, with the full report on stdout and "
                    "the `conflict` error; `git merge --abort` restores the commit. A second run "
                    "changes nothing.",
                .effects = "idempotent",
                .mutating = true,
                .cardinality = "single",
                .stability = "beta",
                .output_fields = kUpdateOutput,
            },
    },
    CommandSpec{
        .name = "doctor",
        .help = "Report what new, secrets and update would be missing here, changing nothing",
        .args = kDoctorArgs,
        .make = make_record<Doctor>,
        .contract =
            {
                .description = kDoctorDescription,
                .effects = "read_only",
                .mutating = false,
                .cardinality = "single",
                .stability = "beta",
                .output_fields = kDoctorOutput,
            },
    },
    CommandSpec{
        .name = "help",
        .help = "Print this message or the help of the given subcommand(s)",
        .args = kHelpArgs,
        .kind = CommandKind::Help,
    },
};

// Every record of CliCommand is made by exactly one command of the table.
template <class Record>
constexpr int declarations_of() {
    int count = 0;
    for (const CommandSpec& command : kCommands)
        count += command.make.record == make_record<Record>.record;
    return count;
}

template <class Record>
struct DeclaredOnce {
    static_assert(declarations_of<Record>() == 1,
                  "every record of CliCommand needs exactly one CommandSpec in kCommands, made "
                  "by make_record<Record> (see the Record of this instantiation)");
    static constexpr bool value = true;
};

template <class... Records>
constexpr bool each_declared_once(std::type_identity<std::variant<Records...>>) {
    return (DeclaredOnce<Records>::value && ...);
}
static_assert(each_declared_once(std::type_identity<CliCommand>{}));

constexpr CommandSpec kRoot{
    .name = kProgramName,
    .help =
        "Scaffold a complete, ordoval-compliant Rust CLI: source skeleton, schema + "
        "conformance test, and the GitHub-hosted dual-publish release pipeline.\n\n"
        "Run `tarnwick schema` for the machine-readable contract (ordoval.dev).",
    .short_help = "Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds.",
    .args = kGlobalArgs,
    .kind = CommandKind::Root,
};

constexpr CommandTree kTree{&kRoot, kCommands};

}  // namespace

const CommandTree& command_tree() {
    return kTree;
}

}  // namespace tarnwick

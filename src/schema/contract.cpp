// The contract that `tarnwick schema` prints. Built from constants on every call; Json keeps
// members in byte order at every level, which is the order the document is printed in.
#include "schema/contract.hpp"

#include <initializer_list>
#include <string>

#include "core/product.hpp"

namespace tarnwick {
namespace {

Json arg(const char* name, const char* type, bool required, const char* description) {
    return {{"name", name}, {"type", type}, {"required", required}, {"description", description}};
}

Json with_default(Json object, Json value) {
    object["default"] = std::move(value);
    return object;
}

Json field(const char* name, const char* type, const char* description = nullptr) {
    Json f = {{"name", name}, {"type", type}};
    if (std::string(type) == "array") f["items"] = {{"type", "string"}};
    if (description) f["description"] = description;
    return f;
}

Json error_kind(const char* kind, int exit_code, const char* description) {
    return {{"kind", kind},
            {"exit_code", exit_code},
            {"retryable", false},
            {"description", description}};
}

Json new_command() {
    return {
        {"name", "new"},
        {"description",
         "Scaffold a new ordoval-compliant Rust CLI into ./<name>. Refuses if the directory "
         "exists."},
        {"effects", "non_idempotent"},
        {"mutating", true},
        {"cardinality", "single"},
        {"stability", "stable"},
        {"args",
         Json::array({
             arg("name", "string", true, "Crate/binary name ([a-z][a-z0-9_-]*)."),
             arg("--description", "string", false, "One-line package description."),
             with_default(arg("--owner", "string", false, "GitHub owner for repo URLs."),
                          std::string(kDefaultOwner)),
             arg("--author", "string", false, "Cargo/LICENSE author (default: git config)."),
             with_default(arg("--into", "path", false, "Directory to create the crate inside."),
                          "."),
             with_default(arg("--no-git", "boolean", false, "Skip git init + initial commit."),
                          false),
             with_default(arg("--github", "boolean", false,
                              "Also create the GitHub repo (owner/name) and push the "
                              "initial commit. Requires git."),
                          false),
             with_default(arg("--no-pypi", "boolean", false,
                              "Omit the PyPI/maturin pipeline; the crate publishes to "
                              "crates.io + Homebrew only."),
                          false),
         })},
        {"output_fields",
         Json::array({
             field("created", "string", "Path of the new crate directory."),
             field("files", "array", "Files written, relative to the crate."),
             field("committed", "boolean"),
             field("repo", "string",
                   "The owner/name of the GitHub repo created with --github (null otherwise)."),
             field("next", "array", "Suggested next commands, through to a published release."),
         })},
    };
}

Json check_command() {
    return {
        {"name", "check"},
        {"description",
         "Validate a crate name and report whether its destination is available without writing "
         "anything."},
        {"effects", "read_only"},
        {"mutating", false},
        {"cardinality", "single"},
        {"args", Json::array({
                     arg("name", "string", true, "Crate/binary name to validate."),
                     with_default(arg("--into", "path", false,
                                      "Parent directory that would receive the crate."),
                                  "."),
                 })},
        {"output_fields", Json::array({field("name", "string"), field("destination", "string"),
                                       field("available", "boolean")})},
        {"example",
         {{"args", Json::array({"check", "ordoval-probe-do-not-create", "--into", "."})}}},
    };
}

Json secrets_command() {
    Json skipped = field("skipped", "array", "Secrets not set, each with `secret` and `reason`.");
    skipped["items"] = {{"type", "object"}};
    return {
        {"name", "secrets"},
        {"description",
         "Bootstrap a repo's release secrets: generate + register the Homebrew tap deploy key "
         "(rotating any prior key with the same title), and set CARGO_REGISTRY_TOKEN / "
         "PYPI_API_TOKEN from local sources. Preflights `gh` auth and repo access; missing token "
         "sources are skipped, not invented."},
        {"effects", "non_idempotent"},
        {"mutating", true},
        {"cardinality", "bounded"},
        {"stability", "stable"},
        {"args",
         Json::array({
             arg("repo", "string", true,
                 "Target repo as owner/name, or a bare name (combined with --owner)."),
             with_default(
                 arg("--owner", "string", false, "GitHub owner, used when repo is a bare name."),
                 std::string(kDefaultOwner)),
             arg("--tap", "string", false,
                 "Homebrew tap repo as OWNER/NAME to register the deploy key on (default: "
                 "<owner>/homebrew-tap); another tap is recorded as the repository variable "
                 "HOMEBREW_TAP, which the generated release workflow clones."),
             with_default(arg("--pypi-token-stdin", "boolean", false,
                              "Read the PyPI token from stdin (otherwise "
                              "$PYPI_API_TOKEN/$UV_PUBLISH_TOKEN, then the [pypi] token in "
                              "~/.pypirc)."),
                          false),
             with_default(arg("--dry-run", "boolean", false,
                              "Report what would be set without executing anything."),
                          false),
             with_default(arg("--verify", "boolean", false,
                              "Read-only: report which release secrets are already set on the "
                              "repo (no changes). Outputs present/missing instead of set/skipped."),
                          false),
         })},
        {"output_fields",
         Json::array({
             field("repo", "string", "Resolved owner/name the secrets target."),
             field("dry_run", "boolean"),
             field("set", "array", "Secret names set (or, in a dry run, that would be set)."),
             skipped,
             field("notes", "array", "Side notes worth surfacing, e.g. a rotated deploy key."),
             field("present", "array", "With --verify: release secrets already set on the repo."),
             field("missing", "array", "With --verify: release secrets not yet set."),
         })},
    };
}

Json schema_command() {
    return {
        {"name", "schema"},
        {"description", "Print this ordoval contract as JSON."},
        {"effects", "read_only"},
        {"mutating", false},
        {"cardinality", "single"},
        {"stability", "stable"},
        {"stdout_schema", {{"$ref", "https://ordoval.dev/schema/v0.3.json"}}},
    };
}

Json completions_command() {
    Json shell = arg("shell", "string", true, "Target shell.");
    shell["enum"] = Json::array({"bash", "zsh", "fish", "powershell", "elvish"});
    return {
        {"name", "completions"},      {"description", "Generate a shell completion script."},
        {"effects", "read_only"},     {"mutating", false},
        {"stability", "stable"},      {"output_kind", "opaque"},
        {"media_type", "text/plain"}, {"args", Json::array({shell})},
    };
}

// `update`, with the error kind that only it raises (conflict, in contract()'s errors).
Json update_command() {
    return {
        {"name", "update"},
        {"description",
         "Bring a project made by an earlier tarnwick up to this version's templates, keeping "
         "its local edits: render the templates with the project's own answers (read from its "
         "pristine render in git history), commit that render on top of the previous one, and "
         "merge it into the current branch with git. Refuses, changing nothing, a work tree "
         "with uncommitted changes, a merge or rebase in progress, a directory outside git, and "
         "a repository without a tarnwick render. Conflicts are left as git leaves them; `git "
         "merge --abort` restores the commit. A second run changes nothing."},
        {"effects", "idempotent"},
        {"mutating", true},
        {"cardinality", "single"},
        {"stability", "beta"},
        {"args",
         Json::array({
             with_default(
                 arg("path", "path", false, "Project directory, or any directory inside it."), "."),
             with_default(arg("--dry-run", "boolean", false,
                              "Report the files that would change and the conflicts that would "
                              "arise, changing no ref, index or work-tree file."),
                          false),
         })},
        {"output_fields",
         Json::array({
             field("project", "string", "The project directory as given."),
             field("from", "string",
                   "tarnwick version of the base render; null for the first commit of `new`, "
                   "which does not record it."),
             field("to", "string", "This tarnwick's version."),
             field("current", "boolean",
                   "True when the templates render the project unchanged: nothing was done."),
             field("dry_run", "boolean"),
             field("files", "array", "Files the update changed (or would change), sorted."),
             field("conflicts", "array",
                   "With --dry-run: files that would conflict. Empty otherwise; a real conflict "
                   "is the `conflict` error."),
             field("base", "string", "Commit of the pristine render the merge starts from."),
             field("render", "string",
                   "Commit of the new pristine render that was merged (null when nothing was "
                   "merged)."),
             field("commit", "string", "The merge commit (null when none was made)."),
             field("notes", "array", "Side notes, e.g. a Cargo.lock that could not be refreshed."),
         })},
    };
}

// `doctor`: read-only, and a finding is never an error.
Json doctor_command() {
    Json items = field("items", "array",
                       "One object per item: `item`, `status`, `detail`, and `fix` (the command "
                       "that fixes it; null when nothing needs doing).");
    items["items"] = {{"type", "object"}};
    return {
        {"name", "doctor"},
        {"description",
         "Report, changing nothing, what `new`, `secrets` and `update` would be missing: git "
         "and the author `new` would use, cargo and rustfmt, gh (present, at least 2.36.0, "
         "logged in), ssh-keygen, and the source (never the value) of the crates and PyPI "
         "tokens; with a repo, whether it and its Homebrew tap are reachable through gh; in a "
         "project, whether its workflows name runner images or action pins that the dated "
         "platform table calls stale. Each item has a status (ok, missing, too_old, unknown, "
         "unusable, incomplete, invalid, not_logged_in, unreachable, stale, unreadable or "
         "skipped), a detail and the command that fixes it. Exits 0 whatever it finds. Runs "
         "only version queries, `git config`, `rustup show active-toolchain`, `gh auth status` "
         "and `gh repo view`."},
        {"effects", "read_only"},
        {"mutating", false},
        {"cardinality", "single"},
        {"stability", "beta"},
        {"args",
         Json::array({
             arg("repo", "string", false,
                 "Also check this repo (owner/name, or a bare name combined with --owner) and "
                 "its tap."),
             with_default(
                 arg("--owner", "string", false, "GitHub owner, used when repo is a bare name."),
                 std::string(kDefaultOwner)),
             arg("--tap", "string", false,
                 "Homebrew tap repo to check (default: <owner>/homebrew-tap, as `secrets` "
                 "uses)."),
             with_default(arg("--project", "path", false,
                              "Project directory whose .github/workflows are checked."),
                          "."),
         })},
        {"output_fields",
         Json::array({
             items,
             field("problems", "integer", "Items whose status is neither ok nor skipped."),
         })},
    };
}

}  // namespace

Json contract() {
    Json output = {{"default", "auto"},
                   {"description", "Output format. auto = text on a TTY, JSON when piped."},
                   {"enum", Json::array({"auto", "json", "text"})},
                   {"name", "--output"},
                   {"type", "string"}};
    return {
        {"ordoval", "0.3"},
        {"name", std::string(kProgramName)},
        {"version", std::string(kVersion)},
        {"description",
         "Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds: source skeleton, schema, "
         "and the dual-publish release pipeline."},
        {"output", {{"tty", "text"}, {"piped", "json"}}},
        {"global_args", Json::array({output})},
        {"commands",
         Json::array({new_command(), check_command(), secrets_command(), schema_command(),
                      completions_command(), update_command(), doctor_command()})},
        {"errors",
         Json::array({
             error_kind("usage", 3, "Invalid command-line arguments or crate name."),
             error_kind("exists", 3, "The target directory already exists."),
             error_kind("io", 2, "A filesystem operation failed."),
             error_kind("git", 2, "A git operation failed (the files were still written)."),
             error_kind("backend", 2,
                        "An external tool (gh, ssh-keygen) failed; check `gh auth status`."),
             error_kind("conflict", 4,
                        "`update` merged the new templates and git stopped on conflicts: the "
                        "merge is left in progress, with markers in the named files. Resolve "
                        "and commit, or `git merge --abort`."),
         })},
    };
}

}  // namespace tarnwick

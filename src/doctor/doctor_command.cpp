// run_doctor: each item is looked at on its own and reported; nothing found is an error. Every
// child is a read-only query with a time limit and a cap on what is kept of its output, so a
// hanging or babbling tool costs a few seconds and a bounded line, never the run.
#include "doctor/doctor_command.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "answers/commit_identity.hpp"
#include "answers/template_values.hpp"
#include "core/core_dumps.hpp"
#include "core/github_names.hpp"
#include "core/redaction.hpp"
#include "core/text.hpp"
#include "doctor/doctor_run.hpp"
#include "doctor/gh_install.hpp"
#include "doctor/platform_table.hpp"
#include "doctor/project_files.hpp"
#include "doctor/registry_names.hpp"
#include "doctor/update_preview.hpp"
#include "doctor/workflow_judge.hpp"
#include "doctor/workflow_scan.hpp"
#include "output/doctor_report.hpp"
#include "process/cargo_toolchain.hpp"
#include "process/gh_version.hpp"
#include "process/git_version.hpp"
#include "process/program_path.hpp"
#include "process/runner.hpp"
#include "secrets/release_secrets.hpp"
#include "secrets/token_sources.hpp"

namespace tarnwick {
namespace {

constexpr RunLimits kQueryLimits{kQuerySeconds * 1000, kQueryKeptBytes};
// What a detail quotes of a tool's output, at most.
constexpr std::size_t kQuoted = 200;
// Workflow files: the first this many (by name) are judged, the rest counted; a file larger
// than the cap is refused unread; a file's findings past the cap are counted.
constexpr std::size_t kMaxWorkflowFiles = 200;
constexpr std::size_t kMaxWorkflowBytes = 4 << 20;
constexpr std::size_t kMaxFindings = 100;
constexpr std::size_t kMaxManifestBytes = 1 << 20;

// text cut to at most max bytes on a character boundary, with "…" when cut.
std::string clip(std::string_view text, std::size_t max = kQuoted) {
    if (text.size() <= max) return std::string(text);
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "…";
}

// The first line of output that is not blank, CR and surrounding white space removed. Only
// that line is read: a capped output can be megabytes.
std::string first_output_line(std::string_view text) {
    text = trim_start(text);
    return std::string(trim(text.substr(0, text.find('\n'))));
}

// An item of the row being checked (DoctorRun::add names it).
DoctorItem found(DoctorStatus status, std::string detail,
                 std::optional<std::string> fix = std::nullopt) {
    return {"", status, std::move(detail), std::move(fix)};
}

// One bounded, read-only query and what went wrong with it, in words.
struct Query {
    enum class Outcome { Ok, NotStarted, TimedOut, Failed } outcome = Outcome::Ok;
    ChildOutput out;
    std::string said;  // for anything but Ok: what happened, ready for a detail
};

// dir: the child's working directory; absent, doctor's own.
Query query(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env = {},
            const std::optional<std::string>& dir = std::nullopt) {
    const std::string shown = "`" + program + (args.empty() ? "" : " " + join(args, " ")) + "`";
    auto run = run_child(
        {.program = program, .args = args, .dir = dir, .extra_env = env, .limits = kQueryLimits});
    Query q;
    if (!run) {
        q.outcome = Query::Outcome::NotStarted;
        q.said = program + " cannot be started: " + run.error().text();
        return q;
    }
    q.out = std::move(run).value();
    if (q.out.timed_out) {
        q.outcome = Query::Outcome::TimedOut;
        q.said = shown + " did not finish within " + std::to_string(kQuerySeconds) +
                 " s and was stopped";
    } else if (!q.out.success) {
        q.outcome = Query::Outcome::Failed;
        const std::string detail = clip(failure_detail(q.out), 300);
        if (!detail.empty()) {
            q.said = shown + " failed: " + detail;
        } else {
            q.said = shown + " exited with status " + std::to_string(q.out.exit_code) +
                     " and printed nothing on stderr";
        }
    }
    return q;
}

// A version query: "ok" with the first line it prints, "missing" when the program cannot be
// started, "unusable" when it fails, "unknown" when it does not answer in time.
DoctorItem version_item(const std::string& program, const std::vector<std::string>& args,
                        const std::vector<std::string>& env, const std::string& install,
                        const std::optional<std::string>& dir = std::nullopt) {
    const Query q = query(program, args, env, dir);
    switch (q.outcome) {
        case Query::Outcome::NotStarted:
            return found(DoctorStatus::Missing, q.said, install);
        case Query::Outcome::TimedOut:
            return found(DoctorStatus::Unknown, q.said);
        case Query::Outcome::Failed:
            return found(DoctorStatus::Unusable, q.said, install);
        case Query::Outcome::Ok:
            break;
    }
    const std::string line = first_output_line(q.out.stdout_text);
    return found(DoctorStatus::Ok, line.empty() ? program + " printed no version" : clip(line));
}

constexpr const char* kRustupInstall =
    "curl --proto '=https' --tlsv1.2 -sSf https://sh.rustup.rs | sh";

// Names the source only: the value is never kept past the lookup.
DoctorItem token_item(const std::optional<FoundToken>& found_token, std::string_view secret,
                      const std::string& looked_in, std::string fix) {
    if (found_token) return found(DoctorStatus::Ok, "from " + found_token->source);
    return found(
        DoctorStatus::Missing,
        "no token in " + looked_in + ": `tarnwick secrets` would skip " + std::string(secret),
        std::move(fix));
}

// A repository `secrets` writes to: reachable, and the account an admin of it (deploy keys,
// secrets and variables all need admin rights).
DoctorItem repository_item(const std::string& repo, const GhState& gh) {
    if (!gh.logged_in) return found(DoctorStatus::Skipped, gh.skipped, gh.skipped_fix);
    const Query q = query(
        "gh", {"repo", "view", repo, "--json", "viewerPermission", "--jq", ".viewerPermission"});
    if (q.outcome == Query::Outcome::TimedOut) return found(DoctorStatus::Unknown, q.said);
    if (q.outcome != Query::Outcome::Ok) {
        const std::string said = first_output_line(q.out.stderr_text);
        return found(
            DoctorStatus::Unreachable,
            said.empty() ? q.said : "`gh repo view " + repo + "` failed: " + clip(said, 300),
            "gh repo create " + repo + " --public");
    }
    const std::string account = gh.login ? *gh.login : "the account gh is logged in as";
    const std::string permission = first_output_line(q.out.stdout_text);
    if (permission == "ADMIN") {
        return found(DoctorStatus::Ok, repo + " is reachable; " + account + " has admin rights");
    }
    if (permission.empty()) {
        return found(DoctorStatus::Unknown,
                     repo + " is reachable; gh did not say which rights " + account + " has");
    }
    // Only an organisation's repositories give other accounts admin rights; a personal
    // repository is administered by its owner alone, so there the fix is to run as the owner.
    const std::string owner = repo.substr(0, repo.find('/'));
    const Query kind = query("gh", {"api", "users/" + owner, "--jq", ".type"});
    const bool organisation = kind.outcome == Query::Outcome::Ok &&
                              first_output_line(kind.out.stdout_text) == "Organization";
    return found(
        DoctorStatus::NoAdmin,
        repo + " is reachable, but " + account + "'s permission is " + clip(permission, 40) +
            ": `tarnwick secrets` needs admin rights (deploy keys, secrets, variables)",
        organisation
            ? "gh api --method PUT repos/" + repo + "/collaborators/" +
                  (gh.login ? *gh.login : "LOGIN") + " -f permission=admin (run by an admin of " +
                  owner + ")"
            : "gh auth login (as " + owner + ", who alone administers a personal repository)");
}

DoctorItem name_item(const NameLookup& lookup, std::string fix) {
    switch (lookup.state) {
        case NameState::Free:
        case NameState::Ours:
            return found(DoctorStatus::Ok, lookup.detail);
        case NameState::Taken:
            return found(DoctorStatus::Taken, lookup.detail, std::move(fix));
        case NameState::Unknown:
            break;
    }
    return found(DoctorStatus::Unknown, lookup.detail);
}

// A name that can go into a registry's address as it is: ASCII letters and digits, '-', '_'
// (and '.', for PyPI), starting with a letter, at most 64 bytes, as both registries require.
bool registry_name(std::string_view name, bool dots) {
    if (name.empty() || name.size() > 64) return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [&](char c) {
        return letter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || (dots && c == '.');
    });
}

// `cmd` run in the project: as it is from ".", else with the directory option given.
std::string in_project(const DoctorProject& p, const std::string& cmd,
                       const std::string& dir_option) {
    if (p.dir == ".") return cmd;
    return cmd + (dir_option.empty() ? "" : " " + dir_option) + " " + shell_word(p.shown);
}

// The names the registries are asked about, and the repository that would make a taken one
// this project's.
struct RegistryNames {
    std::optional<std::string> crate, package, repository;
};

RegistryNames registry_names(const DoctorRun& run) {
    RegistryNames names;
    const DoctorProject& project = run.project;
    if (run.target) names.repository = "https://github.com/" + *run.target;
    if (project.cargo_toml) {
        names.crate = toml_string(*project.cargo_toml, "package", "name");
        if (!names.repository) {
            names.repository = toml_string(*project.cargo_toml, "package", "repository");
        }
        if (project.pyproject_toml) {
            names.package = toml_string(*project.pyproject_toml, "project", "name");
        }
    } else if (run.target) {
        names.crate = names.package = std::string(target_name(*run.target));
    }
    return names;
}

// One file's item: refused when too large, else its findings, each with the fix that would
// fix it.
DoctorItem workflow_item(const DoctorProject& project, const std::filesystem::path& file,
                         const PlatformTable& table) {
    const std::string name = decode_lossy(file.filename().string());
    const std::string relative = ".github/workflows/" + name;
    auto text = read_regular_file(file.string(), kMaxWorkflowBytes);
    if (!text) {
        if (text.error().code == EFBIG) {
            struct stat st {};
            const bool sized = ::stat(file.c_str(), &st) == 0;
            return {relative, DoctorStatus::TooLarge,
                    (sized ? std::to_string(st.st_size) + " bytes" : "larger") + ", over the " +
                        std::to_string(kMaxWorkflowBytes >> 20) +
                        " MiB this tarnwick reads: not judged",
                    "split or shorten " + shell_word(relative)};
        }
        return {relative, DoctorStatus::Unreadable, "cannot be read: " + text.error().text(),
                std::nullopt};
    }
    const std::vector<WorkflowFinding> findings = judge_workflow(scan_workflow(*text), table);
    const std::string update = in_project(project, "tarnwick update", "");
    DoctorItem item{relative, DoctorStatus::Ok, "", std::nullopt};
    std::size_t errors = 0, warnings = 0, notes = 0;
    std::optional<std::string> first_fix;
    bool update_fixes = false;
    for (const WorkflowFinding& f : findings) {
        (f.severity == Severity::Error     ? errors
         : f.severity == Severity::Warning ? warnings
                                           : notes)++;
        if (item.findings.size() == kMaxFindings) continue;
        DoctorFinding shown{f.line, f.severity, f.message, std::nullopt};
        if (f.severity != Severity::Note) {
            if (update_would_change(project.dir, relative, f.stale)) {
                shown.fix = update;
                update_fixes = true;
            } else {
                shown.fix = "edit line " + std::to_string(f.line) + ": " + f.edit;
            }
            if (!first_fix) first_fix = shown.fix;
        }
        item.findings.push_back(std::move(shown));
    }
    auto count = [](std::size_t n, const char* one) {
        return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
    };
    if (errors + warnings == 0) {
        item.detail = "runner images and action pins are current" +
                      (notes == 0 ? std::string() : " (" + count(notes, "note") + ")");
        return item;
    }
    item.status = DoctorStatus::Stale;
    item.detail =
        count(errors, "error") + ", " + count(warnings, "warning") + ", " + count(notes, "note");
    if (findings.size() > kMaxFindings) {
        item.detail += "; the first " + std::to_string(kMaxFindings) + " are listed";
    }
    item.fix = update_fixes ? update : first_fix;
    return item;
}

// While doctor runs, every child is bounded, those that other modules start for it (`git
// config` for the author, `rustup show active-toolchain`) included.
class BoundedChildren {
public:
    BoundedChildren() : previous_(set_default_run_limits(kQueryLimits)) {}
    ~BoundedChildren() { set_default_run_limits(previous_); }
    BoundedChildren(const BoundedChildren&) = delete;
    BoundedChildren& operator=(const BoundedChildren&) = delete;

private:
    RunLimits previous_;
};

}  // namespace

// ---- The checks, in the order of kDoctorItems ------------------------------------------

namespace doctor_check {

void this_tarnwick(DoctorRun& run) {
    const PlatformTable& table = platform_table();
    run.add(DoctorStatus::Ok, std::string(kProgramName) + " " + std::string(kVersion) +
                                  ", platform table checked " +
                                  (table.checked.empty() ? "on no date" : table.checked));
}

// git, and whether it is new enough for `update` (its dry run merges with
// `git merge-tree --write-tree`).
void git(DoctorRun& run) {
    DoctorItem item = version_item("git", {"--version"}, {}, "sudo apt-get install git");
    if (item.status == DoctorStatus::Ok) {
        const auto version = parse_git_version(item.detail);
        if (version && *version < kGitForUpdate) {
            item = found(DoctorStatus::TooOld,
                         item.detail + ": `tarnwick update` needs git " + to_string(kGitForUpdate) +
                             " or newer",
                         "sudo apt-get install --only-upgrade git");
        }
    }
    run.add(std::move(item));
}

void author(DoctorRun& run) {
    auto author = default_author();
    if (!author) {
        run.add(DoctorStatus::Invalid, author.error().message(),
                "git config --global user.name \"Your Name\"");
    } else if (author.value() == kPlaceholderAuthor) {
        run.add(DoctorStatus::Missing,
                "no user.name in git's configuration: new would write \"" + author.value() + "\"",
                "git config --global user.name \"Your Name\"");
    } else if (split_author(author.value()).email.empty()) {
        run.add(DoctorStatus::Incomplete,
                author.value() + " (no user.email: the first commit would use " +
                    std::string(kFallbackCommitEmail) + ")",
                "git config --global user.email you@example.com");
    } else {
        run.add(DoctorStatus::Ok, author.value());
    }
}

// rustup and cargo are asked in the neutral directory: where doctor was started, a cloned
// project's .cargo/config.toml could alias `fmt` to a program of its own, and its toolchain
// file could name a toolchain directory whose cargo is anything.
void cargo(DoctorRun& run) {
    const std::string neutral(kNeutralDir);
    run.toolchain = resolve_cargo_toolchain(neutral);
    if (!run.toolchain.usable) {
        run.add(DoctorStatus::Unusable,
                "rustup cannot name the active toolchain here: new would not run cargo",
                "rustup default stable");
        return;
    }
    run.add(version_item("cargo", {"--version"}, run.toolchain.env, kRustupInstall, neutral));
    run.cargo_runs = run.items.back().status == DoctorStatus::Ok;
}

void rustfmt(DoctorRun& run) {
    if (!run.cargo_runs) {
        run.add(DoctorStatus::Skipped, "needs a usable cargo");
        return;
    }
    DoctorItem fmt = version_item("cargo", {"fmt", "--version"}, run.toolchain.env,
                                  "rustup component add rustfmt", std::string(kNeutralDir));
    if (fmt.status == DoctorStatus::Unusable) fmt.status = DoctorStatus::Missing;
    run.add(std::move(fmt));
}

void gh(DoctorRun& run) {
    const GhSource source = gh_source(this_gh_place());
    const Query version = query("gh", {"--version"});
    if (version.outcome == Query::Outcome::NotStarted) {
        run.add(DoctorStatus::Missing, version.said, gh_fix(source, false));
        return;
    }
    // A gh that hangs on its version would hang on every other question too.
    run.gh.skipped = "needs a gh that answers";
    if (version.outcome == Query::Outcome::TimedOut) {
        run.add(DoctorStatus::Unknown, version.said);
        return;
    }
    run.gh.answers = true;
    const std::string line = first_output_line(version.out.stdout_text);
    const auto parsed = parse_gh_version(line);
    if (version.outcome == Query::Outcome::Failed) {
        run.add(DoctorStatus::Unusable, version.said, gh_fix(source, false));
    } else if (!parsed) {
        run.add(DoctorStatus::Unknown,
                line.empty() ? "`gh --version` printed nothing"
                             : "`gh --version` printed " + tarnwick::quoted(clip(line)) +
                                   ", which names no version",
                gh_fix(source, false));
    } else if (*parsed < kGhForSecrets) {
        std::string detail = "gh " + to_string(*parsed) + ": `tarnwick secrets` needs " +
                             to_string(kGhForSecrets) + " or later";
        if (*parsed < kGhForRepoCreate) {
            detail += ", `tarnwick new --github` " + to_string(kGhForRepoCreate);
        }
        run.add(DoctorStatus::TooOld, detail, gh_fix(source, true));
    } else {
        run.add(DoctorStatus::Ok, "gh " + to_string(*parsed));
    }
}

void gh_login(DoctorRun& run) {
    GhState& state = run.gh;
    if (!state.answers) {
        run.add(DoctorStatus::Skipped, state.skipped);
        return;
    }
    const Query status = query("gh", {"auth", "status"});
    if (status.outcome == Query::Outcome::TimedOut) {
        run.add(DoctorStatus::Unknown, status.said);
        return;
    }
    // Logged out, gh cannot tell a missing repository from one it may not see.
    state.skipped = "could not be checked: gh is not logged in";
    state.skipped_fix = "gh auth login";
    if (status.outcome != Query::Outcome::Ok) {
        const std::string said = first_output_line(
            status.out.stderr_text.empty() ? status.out.stdout_text : status.out.stderr_text);
        run.add(DoctorStatus::NotLoggedIn,
                said.empty() ? status.said : "`gh auth status` failed: " + clip(said, 300),
                *state.skipped_fix);
        return;
    }
    state.logged_in = true;
    const Query user = query("gh", {"api", "user", "--jq", ".login"});
    const std::string login = first_output_line(user.out.stdout_text);
    if (user.outcome == Query::Outcome::Ok && is_github_account(login)) {
        state.login = login;
        run.add(DoctorStatus::Ok, "logged in as " + login);
    } else {
        run.add(DoctorStatus::Ok,
                "logged in (`gh auth status`); the account's name is "
                "unknown: " +
                    (user.outcome == Query::Outcome::Ok ? "`gh api user` named none" : user.said));
    }
}

void ssh_keygen(DoctorRun& run) {
    if (auto path = find_program("ssh-keygen")) {
        run.add(DoctorStatus::Ok, decode_lossy(*path));
    } else {
        run.add(DoctorStatus::Missing, "ssh-keygen is not on PATH",
                "sudo apt-get install openssh-client");
    }
}

void crates_token(DoctorRun& run) {
    run.add(token_item(cargo_token(), "CARGO_REGISTRY_TOKEN", cargo_token_places(), "cargo login"));
}

void pypi_token(DoctorRun& run) {
    // A project publishes to PyPI only when it builds a wheel (it has a pyproject.toml).
    if (run.project.cargo_toml && !run.project.pyproject_toml) {
        run.add(DoctorStatus::Skipped,
                "the project builds no wheel (no pyproject.toml in " + run.project.shown + ")");
        return;
    }
    // Without standard input the lookup cannot fail.
    auto pypi = tarnwick::pypi_token(false);
    run.add(token_item(pypi ? std::move(pypi).value() : std::nullopt, "PYPI_API_TOKEN",
                       pypi_token_places(),
                       "export PYPI_API_TOKEN=<token> (or run `tarnwick secrets` with "
                       "--pypi-token-stdin)"));
}

void repo(DoctorRun& run) {
    if (run.target) run.add(repository_item(*run.target, run.gh));
}

void tap(DoctorRun& run) {
    if (run.tap) run.add(repository_item(*run.tap, run.gh));
}

void crate_name(DoctorRun& run) {
    const RegistryNames names = registry_names(run);
    if (!names.crate) return;
    if (registry_name(*names.crate, false)) {
        run.add(name_item(look_up_crate(*names.crate, names.repository),
                          "rename the package in Cargo.toml ([package] name) to a free name"));
    } else {
        run.add(DoctorStatus::Skipped, tarnwick::quoted(clip(*names.crate, 100)) +
                                           " is not a name the crates registry accepts");
    }
}

void pypi_name(DoctorRun& run) {
    const RegistryNames names = registry_names(run);
    if (!names.package) return;
    if (registry_name(*names.package, true)) {
        run.add(name_item(look_up_pypi(*names.package, names.repository),
                          "rename the project in pyproject.toml ([project] name) to a free name"));
    } else {
        run.add(DoctorStatus::Skipped,
                tarnwick::quoted(clip(*names.package, 100)) + " is not a name PyPI accepts");
    }
}

void cargo_lock(DoctorRun& run) {
    namespace fs = std::filesystem;
    const DoctorProject& project = run.project;
    if (!project.cargo_toml) return;
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(project.dir) / "Cargo.lock", ec)) {
        run.add(DoctorStatus::Missing,
                "no Cargo.lock: the release builds with --locked and would fail",
                project.dir == "." ? "cargo generate-lockfile"
                                   : "cargo generate-lockfile --manifest-path " +
                                         shell_word(project.shown + "/Cargo.toml"));
        return;
    }
    const Query q =
        query("git", {"-C", project.dir, "ls-tree", "--name-only", "HEAD", "--", "Cargo.lock"});
    if (q.outcome == Query::Outcome::TimedOut || q.outcome == Query::Outcome::NotStarted) {
        run.add(DoctorStatus::Unknown, "whether Cargo.lock is committed: " + q.said);
        return;
    }
    if (q.outcome == Query::Outcome::Ok && first_output_line(q.out.stdout_text) == "Cargo.lock") {
        run.add(DoctorStatus::Ok, "Cargo.lock is committed");
        return;
    }
    const std::string git = project.dir == "." ? "git" : "git -C " + shell_word(project.shown);
    run.add(DoctorStatus::Uncommitted,
            q.outcome == Query::Outcome::Ok
                ? "Cargo.lock is not in the last commit: a clone builds without it"
                : "Cargo.lock is not committed (" + q.said + ")",
            git + " add Cargo.lock && " + git + " commit -m \"Commit Cargo.lock\"");
}

void update(DoctorRun& run) {
    if (!run.project.cargo_toml) return;
    run.add(update_item(run.project.dir, in_project(run.project, "tarnwick update", "")));
}

void workflow_files(DoctorRun& run) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(run.project.dir) / ".github" / "workflows";
    std::error_code ec;
    // Only the first files by name are kept, however many the directory holds.
    std::vector<fs::path> files;
    if (fs::is_directory(dir, ec)) {
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& path = it->path();
            const std::string ext = path.extension().string();
            if (ext != ".yml" && ext != ".yaml") continue;
            ++run.workflow_files;
            const auto at = std::upper_bound(files.begin(), files.end(), path);
            if (files.size() == kMaxWorkflowFiles) {
                if (at == files.end()) continue;
                files.pop_back();
            }
            files.insert(std::upper_bound(files.begin(), files.end(), path), path);
        }
    }
    run.workflows_judged = files.size();
    for (const fs::path& file : files) {
        run.add_named(workflow_item(run.project, file, platform_table()));
    }
}

void workflows(DoctorRun& run) {
    if (run.workflow_files == 0) {
        run.add(DoctorStatus::Skipped, "no workflow files in " + run.project.shown +
                                           "/.github/workflows: not a generated project");
    } else if (run.workflow_files > run.workflows_judged) {
        run.add(DoctorStatus::Skipped,
                "judged the first " + std::to_string(run.workflows_judged) + " of " +
                    std::to_string(run.workflow_files) + " workflow files by name; " +
                    std::to_string(run.workflow_files - run.workflows_judged) + " were skipped");
    }
}

}  // namespace doctor_check

// ---- The run ---------------------------------------------------------------------------

void DoctorRun::add(DoctorStatus status, std::string detail, std::optional<std::string> fix) {
    items.push_back({std::string(checking), status, std::move(detail), std::move(fix)});
}

void DoctorRun::add(DoctorItem item) {
    item.item = std::string(checking);
    items.push_back(std::move(item));
}

void DoctorRun::add_named(DoctorItem item) {
    items.push_back(std::move(item));
}

void run_doctor_check(DoctorRun& run, const DoctorItemCheck& row) {
    run.checking = row.item;
    row.check(run);
    run.checking = {};
}

Result<DoctorProject> open_doctor_project(const std::string& dir) {
    struct stat st {};
    const bool found = ::stat(dir.c_str(), &st) == 0;
    if (!found || !S_ISDIR(st.st_mode)) {
        return CliError::usage("invalid --project " + tarnwick::quoted(decode_lossy(dir)) + ": " +
                               (found ? std::string("not a directory") : os_error_text(errno)));
    }
    DoctorProject project{dir, decode_lossy(dir), std::nullopt, std::nullopt};
    if (auto text = read_regular_file(dir + "/Cargo.toml", kMaxManifestBytes)) {
        project.cargo_toml = std::move(text).value();
        if (auto py = read_regular_file(dir + "/pyproject.toml", kMaxManifestBytes)) {
            project.pyproject_toml = std::move(py).value();
        }
    }
    return project;
}

Result<DoctorOutcome> run_doctor(const Doctor& args, OutputFormat format) {
    if (args.repo) TARNWICK_TRY(check_repository(*args.repo));
    TARNWICK_TRY(check_owner(args.owner));
    if (args.tap) TARNWICK_TRY(check_tap(*args.tap));
    auto project = open_doctor_project(args.project);
    TARNWICK_TRY(project);
    DoctorRun run{.project = std::move(project).value()};
    if (args.repo) {
        run.target = resolve_target(*args.repo, args.owner);
        run.tap = args.tap.value_or(default_tap(target_owner(*run.target)));
    }
    // The token lookups hold values in this process for a moment, as `secrets` does.
    (void)disable_core_dumps();
    const BoundedChildren bounded;
    for (const DoctorItemCheck& row : kDoctorItems) run_doctor_check(run, row);

    DoctorReport report{std::move(run.items)};
    // A mirror's address may carry its credentials, and details quote addresses and what
    // curl and gh said about them.
    for (DoctorItem& item : report.items) {
        item.detail = redact_url_credentials(item.detail);
        if (item.fix) item.fix = redact_url_credentials(*item.fix);
        for (DoctorFinding& finding : item.findings) {
            finding.message = redact_url_credentials(finding.message);
            if (finding.fix) finding.fix = redact_url_credentials(*finding.fix);
        }
    }

    DoctorOutcome outcome;
    outcome.text =
        (format == OutputFormat::Json ? render_doctor_json(report) : render_doctor_text(report)) +
        "\n";
    if (args.strict && doctor_problems(report) > 0) outcome.exit_status = kDoctorStrictExit;
    return outcome;
}

}  // namespace tarnwick

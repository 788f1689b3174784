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

// The first line of output, CR and surrounding white space removed.
std::string first_output_line(std::string_view text) {
    text = trim(text);
    return std::string(trim(text.substr(0, text.find('\n'))));
}

DoctorItem ok(std::string item, std::string detail) {
    return {std::move(item), DoctorStatus::Ok, std::move(detail), std::nullopt};
}

DoctorItem problem(std::string item, DoctorStatus status, std::string detail, std::string fix) {
    return {std::move(item), status, std::move(detail), std::move(fix)};
}

DoctorItem no_fix(std::string item, DoctorStatus status, std::string detail) {
    return {std::move(item), status, std::move(detail), std::nullopt};
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
    auto run = run_child(program, args, std::nullopt, dir, env, kQueryLimits);
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
DoctorItem version_item(const std::string& item, const std::string& program,
                        const std::vector<std::string>& args, const std::vector<std::string>& env,
                        const std::string& install,
                        const std::optional<std::string>& dir = std::nullopt) {
    const Query q = query(program, args, env, dir);
    switch (q.outcome) {
        case Query::Outcome::NotStarted:
            return problem(item, DoctorStatus::Missing, q.said, install);
        case Query::Outcome::TimedOut:
            return no_fix(item, DoctorStatus::Unknown, q.said);
        case Query::Outcome::Failed:
            return problem(item, DoctorStatus::Unusable, q.said, install);
        case Query::Outcome::Ok:
            break;
    }
    const std::string line = first_output_line(q.out.stdout_text);
    return ok(item, line.empty() ? program + " printed no version" : clip(line));
}

// git, and whether it is new enough for `update` (its dry run merges with
// `git merge-tree --write-tree`).
DoctorItem git_item() {
    DoctorItem item = version_item("git", "git", {"--version"}, {}, "sudo apt-get install git");
    if (item.status != DoctorStatus::Ok) return item;
    const auto version = parse_git_version(item.detail);
    if (version && *version < kGitForUpdate) {
        return problem(
            "git", DoctorStatus::TooOld,
            item.detail + ": `tarnwick update` needs git " + to_string(kGitForUpdate) + " or newer",
            "sudo apt-get install --only-upgrade git");
    }
    return item;
}

DoctorItem tarnwick_item(const PlatformTable& table) {
    return ok("tarnwick", std::string(kProgramName) + " " + std::string(kVersion) +
                              ", platform table checked " +
                              (table.checked.empty() ? "on no date" : table.checked));
}

DoctorItem author_item() {
    auto author = default_author();
    if (!author) {
        return problem("author", DoctorStatus::Invalid, author.error().message(),
                       "git config --global user.name \"Your Name\"");
    }
    if (author.value() == kPlaceholderAuthor) {
        return problem(
            "author", DoctorStatus::Missing,
            "no user.name in git's configuration: new would write \"" + author.value() + "\"",
            "git config --global user.name \"Your Name\"");
    }
    if (split_author(author.value()).email.empty()) {
        return problem("author", DoctorStatus::Incomplete,
                       author.value() + " (no user.email: the first commit would use " +
                           std::string(kFallbackCommitEmail) + ")",
                       "git config --global user.email you@example.com");
    }
    return ok("author", author.value());
}

// rustup and cargo are asked in the neutral directory: where doctor was started, a cloned
// project's .cargo/config.toml could alias `fmt` to a program of its own, and its toolchain
// file could name a toolchain directory whose cargo is anything.
void toolchain_items(std::vector<DoctorItem>& items) {
    const std::string install = "curl --proto '=https' --tlsv1.2 -sSf https://sh.rustup.rs | sh";
    const std::string neutral(kNeutralDir);
    const CargoToolchain toolchain = resolve_cargo_toolchain(neutral);
    if (!toolchain.usable) {
        items.push_back(problem("cargo", DoctorStatus::Unusable,
                                "rustup cannot name the active toolchain here: new would not "
                                "run cargo",
                                "rustup default stable"));
        items.push_back(no_fix("rustfmt", DoctorStatus::Skipped, "needs a usable cargo"));
        return;
    }
    items.push_back(version_item("cargo", "cargo", {"--version"}, toolchain.env, install, neutral));
    if (items.back().status != DoctorStatus::Ok) {
        items.push_back(no_fix("rustfmt", DoctorStatus::Skipped, "needs a usable cargo"));
        return;
    }
    DoctorItem fmt = version_item("rustfmt", "cargo", {"fmt", "--version"}, toolchain.env,
                                  "rustup component add rustfmt", neutral);
    if (fmt.status == DoctorStatus::Unusable) fmt.status = DoctorStatus::Missing;
    items.push_back(std::move(fmt));
}

struct GhState {
    bool logged_in = false;  // gh answers and is logged in: repositories can be asked about
    std::string skipped = "needs gh";  // otherwise, why the repository items are skipped
    std::optional<std::string> skipped_fix;
    std::optional<std::string> login;  // the account gh is logged in as, when it said
};

// The gh and gh_login items.
GhState gh_items(std::vector<DoctorItem>& items) {
    const GhSource source = gh_source(this_gh_place());
    const std::string install = gh_fix(source, false);
    GhState state;
    const Query version = query("gh", {"--version"});
    if (version.outcome == Query::Outcome::NotStarted) {
        items.push_back(problem("gh", DoctorStatus::Missing, version.said, install));
        items.push_back(no_fix("gh_login", DoctorStatus::Skipped, "needs gh"));
        return state;
    }
    if (version.outcome == Query::Outcome::TimedOut) {
        // A gh that hangs on its version would hang on every other question too.
        items.push_back(no_fix("gh", DoctorStatus::Unknown, version.said));
        state.skipped = "needs a gh that answers";
        items.push_back(no_fix("gh_login", DoctorStatus::Skipped, state.skipped));
        return state;
    }
    state.skipped = "needs a gh that answers";
    const std::string line = first_output_line(version.out.stdout_text);
    const auto parsed = parse_gh_version(line);
    if (version.outcome == Query::Outcome::Failed) {
        items.push_back(problem("gh", DoctorStatus::Unusable, version.said, install));
    } else if (!parsed) {
        items.push_back(problem("gh", DoctorStatus::Unknown,
                                line.empty()
                                    ? "`gh --version` printed nothing"
                                    : "`gh --version` printed " + tarnwick::quoted(clip(line)) +
                                          ", which names no version",
                                install));
    } else if (*parsed < kGhForSecrets) {
        std::string detail = "gh " + to_string(*parsed) + ": `tarnwick secrets` needs " +
                             to_string(kGhForSecrets) + " or later";
        if (*parsed < kGhForRepoCreate) {
            detail += ", `tarnwick new --github` " + to_string(kGhForRepoCreate);
        }
        items.push_back(problem("gh", DoctorStatus::TooOld, detail, gh_fix(source, true)));
    } else {
        items.push_back(ok("gh", "gh " + to_string(*parsed)));
    }

    const Query status = query("gh", {"auth", "status"});
    if (status.outcome == Query::Outcome::TimedOut) {
        items.push_back(no_fix("gh_login", DoctorStatus::Unknown, status.said));
        return state;
    }
    // Logged out, gh cannot tell a missing repository from one it may not see.
    state.skipped = "could not be checked: gh is not logged in";
    state.skipped_fix = "gh auth login";
    if (status.outcome != Query::Outcome::Ok) {
        const std::string said = first_output_line(
            status.out.stderr_text.empty() ? status.out.stdout_text : status.out.stderr_text);
        items.push_back(
            problem("gh_login", DoctorStatus::NotLoggedIn,
                    said.empty() ? status.said : "`gh auth status` failed: " + clip(said, 300),
                    *state.skipped_fix));
        return state;
    }
    state.logged_in = true;
    const Query user = query("gh", {"api", "user", "--jq", ".login"});
    const std::string login = first_output_line(user.out.stdout_text);
    if (user.outcome == Query::Outcome::Ok && is_github_account(login)) {
        state.login = login;
        items.push_back(ok("gh_login", "logged in as " + login));
    } else {
        items.push_back(
            ok("gh_login",
               "logged in (`gh auth status`); the account's name is "
               "unknown: " +
                   (user.outcome == Query::Outcome::Ok ? "`gh api user` named none" : user.said)));
    }
    return state;
}

// Names the source only: the value is never kept past the lookup.
DoctorItem token_item(std::string item, const std::optional<FoundToken>& found,
                      std::string_view secret, const std::string& looked_in, std::string fix) {
    if (found) return ok(std::move(item), "from " + found->source);
    return problem(
        std::move(item), DoctorStatus::Missing,
        "no token in " + looked_in + ": `tarnwick secrets` would skip " + std::string(secret),
        std::move(fix));
}

// A repository `secrets` writes to: reachable, and the account an admin of it (deploy keys,
// secrets and variables all need admin rights).
DoctorItem repository_item(std::string item, const std::string& repo, const GhState& gh) {
    const Query q = query(
        "gh", {"repo", "view", repo, "--json", "viewerPermission", "--jq", ".viewerPermission"});
    if (q.outcome == Query::Outcome::TimedOut)
        return no_fix(std::move(item), DoctorStatus::Unknown, q.said);
    if (q.outcome != Query::Outcome::Ok) {
        const std::string said = first_output_line(q.out.stderr_text);
        return problem(
            std::move(item), DoctorStatus::Unreachable,
            said.empty() ? q.said : "`gh repo view " + repo + "` failed: " + clip(said, 300),
            "gh repo create " + repo + " --public");
    }
    const std::string account = gh.login ? *gh.login : "the account gh is logged in as";
    const std::string permission = first_output_line(q.out.stdout_text);
    if (permission == "ADMIN") {
        return ok(std::move(item), repo + " is reachable; " + account + " has admin rights");
    }
    if (permission.empty()) {
        return no_fix(std::move(item), DoctorStatus::Unknown,
                      repo + " is reachable; gh did not say which rights " + account + " has");
    }
    // Only an organisation's repositories give other accounts admin rights; a personal
    // repository is administered by its owner alone, so there the fix is to run as the owner.
    const std::string owner = repo.substr(0, repo.find('/'));
    const Query kind = query("gh", {"api", "users/" + owner, "--jq", ".type"});
    const bool organisation = kind.outcome == Query::Outcome::Ok &&
                              first_output_line(kind.out.stdout_text) == "Organization";
    return problem(
        std::move(item), DoctorStatus::NoAdmin,
        repo + " is reachable, but " + account + "'s permission is " + clip(permission, 40) +
            ": `tarnwick secrets` needs admin rights (deploy keys, secrets, variables)",
        organisation
            ? "gh api --method PUT repos/" + repo + "/collaborators/" +
                  (gh.login ? *gh.login : "LOGIN") + " -f permission=admin (run by an admin of " +
                  owner + ")"
            : "gh auth login (as " + owner + ", who alone administers a personal repository)");
}

DoctorItem name_item(std::string item, const NameLookup& lookup, std::string fix) {
    switch (lookup.state) {
        case NameState::Free:
        case NameState::Ours:
            return ok(std::move(item), lookup.detail);
        case NameState::Taken:
            return problem(std::move(item), DoctorStatus::Taken, lookup.detail, std::move(fix));
        case NameState::Unknown:
            break;
    }
    return no_fix(std::move(item), DoctorStatus::Unknown, lookup.detail);
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

// What the project directory holds that doctor looks at.
struct Project {
    std::string dir;    // as given
    std::string shown;  // decoded for messages
    std::optional<std::string> cargo_toml;
    std::optional<std::string> pyproject_toml;
};

// `cmd` run in the project: as it is from ".", else with the directory option given.
std::string in_project(const Project& p, const std::string& cmd, const std::string& dir_option) {
    if (p.dir == ".") return cmd;
    return cmd + (dir_option.empty() ? "" : " " + dir_option) + " " + shell_word(p.shown);
}

void name_items(std::vector<DoctorItem>& items, const Project& project,
                const std::optional<std::string>& target) {
    std::optional<std::string> crate, package, repository;
    if (target) repository = "https://github.com/" + *target;
    if (project.cargo_toml) {
        crate = toml_string(*project.cargo_toml, "package", "name");
        if (!repository) repository = toml_string(*project.cargo_toml, "package", "repository");
        if (project.pyproject_toml) {
            package = toml_string(*project.pyproject_toml, "project", "name");
        }
    } else if (target) {
        crate = package = std::string(target_name(*target));
    }
    if (crate) {
        if (registry_name(*crate, false)) {
            items.push_back(name_item("crate_name", look_up_crate(*crate, repository),
                                      "rename the package in Cargo.toml ([package] name) to a "
                                      "free name"));
        } else {
            items.push_back(no_fix("crate_name", DoctorStatus::Skipped,
                                   tarnwick::quoted(clip(*crate, 100)) +
                                       " is not a name the crates registry accepts"));
        }
    }
    if (package) {
        if (registry_name(*package, true)) {
            items.push_back(name_item("pypi_name", look_up_pypi(*package, repository),
                                      "rename the project in pyproject.toml ([project] name) to "
                                      "a free name"));
        } else {
            items.push_back(
                no_fix("pypi_name", DoctorStatus::Skipped,
                       tarnwick::quoted(clip(*package, 100)) + " is not a name PyPI accepts"));
        }
    }
}

void cargo_lock_item(std::vector<DoctorItem>& items, const Project& project) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(project.dir) / "Cargo.lock", ec)) {
        items.push_back(problem("cargo_lock", DoctorStatus::Missing,
                                "no Cargo.lock: the release builds with --locked and would fail",
                                project.dir == "."
                                    ? "cargo generate-lockfile"
                                    : "cargo generate-lockfile --manifest-path " +
                                          shell_word(project.shown + "/Cargo.toml")));
        return;
    }
    const Query q =
        query("git", {"-C", project.dir, "ls-tree", "--name-only", "HEAD", "--", "Cargo.lock"});
    if (q.outcome == Query::Outcome::TimedOut || q.outcome == Query::Outcome::NotStarted) {
        items.push_back(no_fix("cargo_lock", DoctorStatus::Unknown,
                               "whether Cargo.lock is committed: " + q.said));
        return;
    }
    if (q.outcome == Query::Outcome::Ok && first_output_line(q.out.stdout_text) == "Cargo.lock") {
        items.push_back(ok("cargo_lock", "Cargo.lock is committed"));
        return;
    }
    const std::string git = project.dir == "." ? "git" : "git -C " + shell_word(project.shown);
    items.push_back(
        problem("cargo_lock", DoctorStatus::Uncommitted,
                q.outcome == Query::Outcome::Ok
                    ? "Cargo.lock is not in the last commit: a clone builds without it"
                    : "Cargo.lock is not committed (" + q.said + ")",
                git + " add Cargo.lock && " + git + " commit -m \"Commit Cargo.lock\""));
}

// One file's item: refused when too large, else its findings, each with the fix that would
// fix it.
DoctorItem workflow_item(const Project& project, const std::filesystem::path& file,
                         const PlatformTable& table) {
    const std::string name = decode_lossy(file.filename().string());
    const std::string relative = ".github/workflows/" + name;
    auto text = read_regular_file(file.string(), kMaxWorkflowBytes);
    if (!text) {
        if (text.error().code == EFBIG) {
            struct stat st {};
            const bool sized = ::stat(file.c_str(), &st) == 0;
            return problem(relative, DoctorStatus::TooLarge,
                           (sized ? std::to_string(st.st_size) + " bytes" : "larger") +
                               ", over the " + std::to_string(kMaxWorkflowBytes >> 20) +
                               " MiB this tarnwick reads: not judged",
                           "split or shorten " + shell_word(relative));
        }
        return no_fix(relative, DoctorStatus::Unreadable, "cannot be read: " + text.error().text());
    }
    const std::vector<WorkflowFinding> found = judge_workflow(scan_workflow(*text), table);
    const std::string update = in_project(project, "tarnwick update", "");
    DoctorItem item = ok(relative, "");
    std::size_t errors = 0, warnings = 0, notes = 0;
    std::optional<std::string> first_fix;
    bool update_fixes = false;
    for (const WorkflowFinding& f : found) {
        (f.severity == Severity::Error     ? errors
         : f.severity == Severity::Warning ? warnings
                                           : notes)++;
        if (item.findings.size() == kMaxFindings) continue;
        DoctorFinding shown{f.line, std::string(severity_name(f.severity)), f.message,
                            std::nullopt};
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
    if (found.size() > kMaxFindings) {
        item.detail += "; the first " + std::to_string(kMaxFindings) + " are listed";
    }
    item.fix = update_fixes ? update : first_fix;
    return item;
}

void workflow_items(std::vector<DoctorItem>& items, const Project& project,
                    const PlatformTable& table) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(project.dir) / ".github" / "workflows";
    std::error_code ec;
    // Only the first files by name are kept, however many the directory holds.
    std::vector<fs::path> files;
    std::size_t total = 0;
    if (fs::is_directory(dir, ec)) {
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& path = it->path();
            const std::string ext = path.extension().string();
            if (ext != ".yml" && ext != ".yaml") continue;
            ++total;
            const auto at = std::upper_bound(files.begin(), files.end(), path);
            if (files.size() == kMaxWorkflowFiles) {
                if (at == files.end()) continue;
                files.pop_back();
            }
            files.insert(std::upper_bound(files.begin(), files.end(), path), path);
        }
    }
    if (files.empty()) {
        items.push_back(no_fix("workflows", DoctorStatus::Skipped,
                               "no workflow files in " + project.shown +
                                   "/.github/workflows: not a generated project"));
        return;
    }
    for (const fs::path& file : files) items.push_back(workflow_item(project, file, table));
    if (total > files.size()) {
        items.push_back(no_fix("workflows", DoctorStatus::Skipped,
                               "judged the first " + std::to_string(files.size()) + " of " +
                                   std::to_string(total) + " workflow files by name; " +
                                   std::to_string(total - files.size()) + " were skipped"));
    }
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

Result<Project> open_project(const std::string& dir) {
    struct stat st {};
    const bool found = ::stat(dir.c_str(), &st) == 0;
    if (!found || !S_ISDIR(st.st_mode)) {
        return CliError::usage("invalid --project " + tarnwick::quoted(decode_lossy(dir)) + ": " +
                               (found ? std::string("not a directory") : os_error_text(errno)));
    }
    Project project{dir, decode_lossy(dir), std::nullopt, std::nullopt};
    if (auto text = read_regular_file(dir + "/Cargo.toml", kMaxManifestBytes)) {
        project.cargo_toml = std::move(text).value();
        if (auto py = read_regular_file(dir + "/pyproject.toml", kMaxManifestBytes)) {
            project.pyproject_toml = std::move(py).value();
        }
    }
    return project;
}

}  // namespace

Result<DoctorOutcome> run_doctor(const Doctor& args, OutputFormat format) {
    if (args.repo) TARNWICK_TRY(check_repository(*args.repo));
    TARNWICK_TRY(check_owner(args.owner));
    if (args.tap) TARNWICK_TRY(check_tap(*args.tap));
    std::optional<std::string> target, tap;
    if (args.repo) {
        target = resolve_target(*args.repo, args.owner);
        tap = args.tap.value_or(default_tap(target_owner(*target)));
    }
    auto opened = open_project(args.project);
    TARNWICK_TRY(opened);
    const Project& project = opened.value();
    // The token lookups hold values in this process for a moment, as `secrets` does.
    (void)disable_core_dumps();
    const BoundedChildren bounded;

    const PlatformTable& table = platform_table();
    DoctorReport report;
    auto& items = report.items;
    items.push_back(tarnwick_item(table));
    items.push_back(git_item());
    items.push_back(author_item());
    toolchain_items(items);
    const GhState gh = gh_items(items);
    if (auto path = find_program("ssh-keygen")) {
        items.push_back(ok("ssh-keygen", decode_lossy(*path)));
    } else {
        items.push_back(problem("ssh-keygen", DoctorStatus::Missing, "ssh-keygen is not on PATH",
                                "sudo apt-get install openssh-client"));
    }
    items.push_back(token_item("crates_token", cargo_token(), "CARGO_REGISTRY_TOKEN",
                               cargo_token_places(), "cargo login"));
    // A project publishes to PyPI only when it builds a wheel (it has a pyproject.toml).
    if (project.cargo_toml && !project.pyproject_toml) {
        items.push_back(
            no_fix("pypi_token", DoctorStatus::Skipped,
                   "the project builds no wheel (no pyproject.toml in " + project.shown + ")"));
    } else {
        // Without standard input the lookup cannot fail.
        auto pypi = pypi_token(false);
        items.push_back(token_item("pypi_token", pypi ? std::move(pypi).value() : std::nullopt,
                                   "PYPI_API_TOKEN", pypi_token_places(),
                                   "export PYPI_API_TOKEN=<token> (or run `tarnwick secrets` "
                                   "with --pypi-token-stdin)"));
    }
    if (target) {
        if (!gh.logged_in) {
            for (const char* item : {"repo", "tap"}) {
                items.push_back({item, DoctorStatus::Skipped, gh.skipped, gh.skipped_fix});
            }
        } else {
            items.push_back(repository_item("repo", *target, gh));
            items.push_back(repository_item("tap", *tap, gh));
        }
    }
    name_items(items, project, target);
    if (project.cargo_toml) {
        cargo_lock_item(items, project);
        items.push_back(update_item(project.dir, in_project(project, "tarnwick update", "")));
    }
    workflow_items(items, project, table);
    // A mirror's address may carry its credentials, and details quote addresses and what
    // curl and gh said about them.
    for (DoctorItem& item : items) {
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

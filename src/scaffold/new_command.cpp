// `new`: gather the template values, render the tree into <into>/<name>, format it, make
// the first commit on "main", optionally create and push the GitHub repository, report.
// The first failure ends the run; nothing already written is removed.
#include "scaffold/new_command.hpp"

#include <algorithm>

#include "answers/answers.hpp"
#include "answers/commit_identity.hpp"
#include "answers/crate_name.hpp"
#include "answers/option_values.hpp"
#include "answers/render.hpp"
#include "answers/template_values.hpp"
#include "core/github_names.hpp"
#include "core/product.hpp"
#include "core/text.hpp"
#include "output/new_report.hpp"
#include "process/cargo_toolchain.hpp"
#include "process/gh_version.hpp"
#include "process/lockfile.hpp"
#include "process/runner.hpp"
#include "scaffold/destination.hpp"

namespace tarnwick {
namespace {

Status commit_project(const std::string& destination, const std::vector<std::string>& files,
                      bool with_lockfile, const Answers& answers) {
    TARNWICK_TRY(run_git(destination, {"init", "-q"}));
    // -f: the user's own ignore rules (a global Makefile or *.lock pattern) must not drop a
    // file the project needs, nor make git refuse the whole add.
    std::vector<std::string> add = {"add", "-f", "--"};
    add.insert(add.end(), files.begin(), files.end());
    if (with_lockfile) add.push_back("Cargo.lock");
    TARNWICK_TRY(run_git(destination, add));
    const CommitIdentity identity = commit_identity(answers.author);
    TARNWICK_TRY(run_git(
        destination, {"-c", "user.name=" + identity.name, "-c", "user.email=" + identity.email,
                      "commit", "-q", "-m", "chore: scaffold " + answers.name + " with tarnwick"}));
    return run_git(destination, {"branch", "-M", "main"});
}

Status create_github_repo(const std::string& slug, const std::string& description,
                          const std::string& destination) {
    TARNWICK_TRY(
        run_gh_checked({"repo", "create", slug, "--public", "--description", description,
                        "--source", decode_lossy(destination), "--remote", "origin", "--push"}));
    return Ok{};
}

std::vector<std::string> next_commands(const NewReport& report, const std::string& slug) {
    // The path is pasted into a shell: quoted where it needs it, and never read as an option.
    const std::string where =
        report.created.starts_with('-') ? "./" + report.created : report.created;
    std::vector<std::string> next = {"cd " + shell_word(where) + " && make check"};
    if (!report.repo) {
        next.push_back("create the GitHub repo + push (or re-run with --github): gh repo create " +
                       slug + " --source . --push");
    }
    next.push_back("tarnwick secrets " + slug);
    next.push_back("make release-patch  # bump, tag; pushing the tag publishes");
    return next;
}

// The author lands in Cargo.toml, pyproject.toml and LICENSE, and names the first commit.
Status check_author_everywhere(const std::string& author, bool from_git_config, bool commits) {
    TARNWICK_TRY(check_author(author, from_git_config));
    if (commits) return check_commit_author(author, from_git_config);
    return Ok{};
}

}  // namespace

Result<std::string> run_new(const New& args, OutputFormat format) {
    // Everything the command line gave is checked before git is asked for the author, so a
    // refused line starts no child process at all.
    Answers answers = with_given(new_answers(args.name, current_year()), args);
    TARNWICK_TRY(validate_crate_name(answers.name));
    if (answers.pypi) TARNWICK_TRY(validate_python_name(answers.name));
    TARNWICK_TRY(check_description(answers.description));
    TARNWICK_TRY(check_owner(answers.owner));
    if (!args.author) {
        auto author = default_author();
        TARNWICK_TRY(author);
        answers.author = std::move(author).value();
    }
    TARNWICK_TRY(check_author_everywhere(answers.author, !args.author, !args.no_git));
    // Asked before anything is written: an older gh would fail only after the first commit.
    if (args.github) {
        TARNWICK_TRY(require_gh(kGhForRepoCreate, "`tarnwick new --github`"));
    }

    const std::string destination = project_destination(args.into, answers.name);
    NewReport report;
    report.created = decode_lossy(destination);
    if (path_exists(destination)) return destination_taken(destination, report.created);
    // Only a directory this run made itself is written into and has cargo and git run in it.
    TARNWICK_TRY(claim_project_directory(destination, report.created));

    std::vector<std::string> written;
    TARNWICK_TRY(render_tree(template_root(), destination, answers, kVersion, written));
    std::sort(written.begin(), written.end());
    report.files = std::move(written);

    // Formatting is a courtesy: without cargo the project is still complete.
    const CargoToolchain toolchain = resolve_cargo_toolchain();
    format_project(destination, toolchain);
    const bool with_lockfile = generate_lockfile(destination, toolchain);

    if (!args.no_git) {
        TARNWICK_TRY(commit_project(destination, report.files, with_lockfile, answers));
        report.committed = true;
    }

    const std::string slug = answers.owner + "/" + answers.name;
    if (args.github) {
        TARNWICK_TRY(create_github_repo(slug, answers.description, destination));
        report.repo = slug;
    }
    report.next = next_commands(report, slug);

    return (format == OutputFormat::Json ? render_new_json(report) : render_new_text(report)) +
           "\n";
}

}  // namespace tarnwick

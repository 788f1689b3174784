// `update`: find the base render in the repository's history, read the project's answers from
// it, render the templates again with them, commit that render on top of the base, and merge
// it into HEAD with git's own merge. A dry run does the same in a private object directory and
// asks `git merge-tree` instead, so no ref, index or work-tree file changes. Every refusal
// comes before anything is written.
#include "update/update_command.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/io.hpp"
#include "core/product.hpp"
#include "core/text.hpp"
#include "output/update_report.hpp"
#include "process/runner.hpp"
#include "scaffold/commit_identity.hpp"
#include "scaffold/destination.hpp"
#include "scaffold/lockfile.hpp"
#include "scaffold/render.hpp"
#include "scaffold/template_tree.hpp"
#include "update/git_output.hpp"
#include "update/git_query.hpp"
#include "update/render_answers.hpp"
#include "update/scratch_dir.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kAgain = ", then run `tarnwick update` again";

struct Repo {
    std::string display;  // PATH as given, in display form
    std::string top;      // the work tree's root
    std::string git_dir;
    std::string objects;  // the object directory of the common git directory
};

Result<Repo> open_repo(const Update& args) {
    Repo repo;
    repo.display = decode_lossy(args.path);
    struct stat st {};
    if (::stat(args.path.c_str(), &st) != 0) {
        return CliError::io(repo.display + ": " + OsError{errno}.text());
    }
    if (!S_ISDIR(st.st_mode)) return CliError::io(repo.display + ": " + OsError{ENOTDIR}.text());
    auto run = git_run({args.path, {}}, {"rev-parse", "--path-format=absolute", "--show-toplevel",
                                         "--git-dir", "--git-common-dir"});
    if (!run) return std::move(run).error();
    std::vector<std::string> lines;
    std::string_view rest = run->stdout_text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        lines.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    if (!run->success || lines.size() != 3) {
        return CliError::git(repo.display +
                             " is not in a git work tree; `tarnwick update` works in a project "
                             "that `tarnwick new` made");
    }
    repo.top = lines[0];
    repo.git_dir = lines[1];
    repo.objects = lines[2] + "/objects";
    return repo;
}

// The operations that leave the repository half-way; merging on top of one would tangle both.
Status refuse_operation_in_progress(const Repo& repo) {
    struct InProgress {
        const char* marker;
        const char* what;
        const char* finish;
    };
    constexpr InProgress kOperations[] = {
        {"MERGE_HEAD", "a merge",
         "finish it with `git commit` or undo it with `git merge --abort`"},
        {"rebase-merge", "a rebase",
         "finish it with `git rebase --continue` or `git rebase --abort`"},
        {"rebase-apply", "a rebase or `git am`", "finish it or abort it"},
        {"CHERRY_PICK_HEAD", "a cherry-pick",
         "finish it with `git cherry-pick --continue` or `git cherry-pick --abort`"},
        {"REVERT_HEAD", "a revert",
         "finish it with `git revert --continue` or `git revert --abort`"},
    };
    for (const InProgress& op : kOperations) {
        if (path_exists(repo.git_dir + "/" + op.marker)) {
            return CliError::git(std::string(op.what) + " is in progress in " + repo.display +
                                 "; " + op.finish + std::string(kAgain));
        }
    }
    return Ok{};
}

std::string some_paths(const std::vector<std::string>& paths) {
    constexpr std::size_t kShown = 5;
    std::vector<std::string_view> shown(paths.begin(),
                                        paths.begin() + std::min(paths.size(), kShown));
    std::string text = join(shown, ", ");
    if (paths.size() > kShown) text += " and " + std::to_string(paths.size() - kShown) + " more";
    return text;
}

// HEAD, once the work tree is known to be clean. GIT_OPTIONAL_LOCKS=0 keeps status from
// refreshing the index file, which a refusal must leave as it found it.
Result<std::string> clean_head(const Repo& repo) {
    auto out = git_stdout({repo.top, {"GIT_OPTIONAL_LOCKS=0"}},
                          {"status", "--porcelain=v2", "--branch", "--untracked-files=no", "-z"});
    if (!out) return std::move(out).error();
    const WorkTreeStatus status = work_tree_status(*out);
    if (!status.changed.empty()) {
        return CliError::git(repo.display + " has uncommitted changes (" +
                             some_paths(status.changed) + "); commit or stash them" +
                             std::string(kAgain));
    }
    if (!status.head) {
        return CliError::git(repo.display +
                             " has no commits; there is no tarnwick render to update");
    }
    return *status.head;
}

// The variable is a ":"-separated list; git reads an entry that starts with a double quote as a
// C-style quoted path, which is how a path with a colon in it gets through.
std::string alternate_entry(const std::string& path) {
    if (path.find_first_of(":\"") == std::string::npos) return path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

Result<RenderCommit> find_base(const Repo& repo) {
    const GitCall git{repo.top, {}};
    auto log =
        git_stdout(git, {"log", "--topo-order", "--grep=^" + std::string(kRenderTrailer) + ": ",
                         "--format=%H%x1f%T%x1f%(trailers:key=" + std::string(kRenderTrailer) +
                             ",valueonly,separator=%x2C)%x1e",
                         "HEAD"});
    if (!log) return std::move(log).error();
    if (auto render = latest_render(*log)) return *render;
    auto roots =
        git_stdout(git, {"rev-list", "--max-parents=0", "--format=%H%x1f%T%x1f%s", "HEAD"});
    if (!roots) return std::move(roots).error();
    if (auto root = scaffold_root(*roots)) return *root;
    return CliError::git("no tarnwick render in the history of " + repo.display +
                         ": no commit has a `" + std::string(kRenderTrailer) +
                         ":` trailer and no root commit reads \"chore: scaffold NAME with "
                         "tarnwick\"");
}

struct BaseFiles {
    std::string cargo_toml;
    std::string license;
    bool pyproject = false;
    std::optional<std::string> cargo_lock;
};

Result<BaseFiles> read_base_files(const Repo& repo, const std::string& commit) {
    const std::vector<std::string> paths = {"Cargo.toml", "LICENSE", "pyproject.toml",
                                            "Cargo.lock"};
    std::string request;
    for (const std::string& path : paths) request += commit + ":" + path + "\n";
    auto out = git_stdout({repo.top, {}}, {"cat-file", "--batch"}, request);
    if (!out) return std::move(out).error();
    auto objects = cat_file_batch(*out, paths.size());
    if (!objects) return CliError::git("could not read the files of the render " + commit);
    auto& o = *objects;
    return BaseFiles{o[0].value_or(""), o[1].value_or(""), o[2].has_value(), std::move(o[3])};
}

Result<std::string> read_render_file(const std::string& path) {
    auto fd = open_fd(path, O_RDONLY);
    if (!fd) return CliError::io(path + ": " + fd.error().text());
    auto text = read_all(fd->get(), 1 << 24);
    if (!text) return CliError::io(path + ": " + text.error().text());
    return std::move(text).value();
}

Status write_render_file(const std::string& path, std::string_view contents) {
    auto fd = open_fd(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!fd) return CliError::io(path + ": " + fd.error().text());
    auto written = write_all(fd->get(), contents);
    if (!written) return CliError::io(path + ": " + written.error().text());
    return Ok{};
}

struct Pristine {
    std::string tree;
    std::vector<std::string> notes;
};

// Renders as `new` does (formatted, with Cargo.lock when the base has one) and writes the
// result into a tree object through a private index; the repository's index and work tree are
// never involved.
Result<Pristine> build_pristine(const Repo& repo, const TemplateContext& context,
                                const BaseFiles& base, const ScratchDir& scratch,
                                const std::vector<std::string>& object_env) {
    Pristine pristine;
    const std::string dir = scratch / "render";
    std::vector<std::string> files;
    TARNWICK_TRY(render_tree(template_root(), dir, context, files));
    const CargoToolchain toolchain = resolve_cargo_toolchain();
    format_project(dir, toolchain);

    // The lock belongs to the render too: an update never drops it, and refreshes it only when
    // the manifest it pins has changed.
    if (base.cargo_lock) {
        auto manifest = read_render_file(dir + "/Cargo.toml");
        if (!manifest) return std::move(manifest).error();
        const bool manifest_changed = *manifest != base.cargo_toml;
        if (!manifest_changed || !generate_lockfile(dir, toolchain)) {
            if (manifest_changed) {
                pristine.notes.push_back(
                    "Cargo.lock could not be refreshed for the new Cargo.toml (no cargo, or the "
                    "crates are neither cached nor reachable); it stays as it was: run `cargo "
                    "generate-lockfile` and commit it");
            }
            TARNWICK_TRY(write_render_file(dir + "/Cargo.lock", *base.cargo_lock));
        }
        files.push_back("Cargo.lock");
    }

    std::vector<std::string> env = object_env;
    env.push_back("GIT_DIR=" + repo.git_dir);
    env.push_back("GIT_WORK_TREE=" + dir);
    env.push_back("GIT_INDEX_FILE=" + (scratch / "index"));
    std::vector<std::string> add = {"add", "-f", "--"};
    add.insert(add.end(), files.begin(), files.end());
    auto added = git_stdout({dir, env}, add);
    if (!added) return std::move(added).error();
    auto tree = git_stdout({dir, env}, {"write-tree"});
    if (!tree) return std::move(tree).error();
    pristine.tree = std::string(trim(*tree));
    return pristine;
}

Result<std::string> commit_render(const Repo& repo, const TemplateContext& context,
                                  const std::string& tree, const std::string& parent,
                                  const std::vector<std::string>& object_env) {
    const CommitIdentity identity = commit_identity(context.author);
    const std::string version(kVersion);
    const std::string message = "chore: tarnwick " + version + " render of " + context.name +
                                "\n\n" + "The project as tarnwick " + version +
                                " renders it, with no local edits. `tarnwick update` merged\n"
                                "this commit, and starts from it the next time.\n\n" +
                                std::string(kRenderTrailer) + ": " + version + "\n";
    auto commit = git_stdout({repo.top, object_env}, {"-c", "user.name=" + identity.name, "-c",
                                                      "user.email=" + identity.email, "commit-tree",
                                                      tree, "-p", parent, "-m", message});
    if (!commit) return std::move(commit).error();
    return std::string(trim(*commit));
}

Result<std::vector<std::string>> changed_paths(const GitCall& git, const std::string& from,
                                               const std::string& to) {
    auto out = git_stdout(git, {"diff", "--name-only", "--no-renames", "-z", from, to});
    if (!out) return std::move(out).error();
    auto paths = split_nul(*out);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The merge as `git merge-tree` computes it, with every object in the scratch directory.
Status dry_merge(const Repo& repo, const std::string& head, const std::string& render,
                 const std::vector<std::string>& object_env, UpdateReport& report) {
    const GitCall git{repo.top, object_env};
    auto run = git_run(
        git, {"merge-tree", "--write-tree", "--name-only", "--no-messages", "-z", head, render});
    if (!run) return std::move(run).error();
    auto pieces = split_nul(run->stdout_text);
    // Exit status 1 means conflicts; the tree and the conflicted paths are printed either way.
    if (pieces.empty() || pieces[0].size() < 40 ||
        pieces[0].find_first_not_of("0123456789abcdef") != std::string::npos) {
        return git_failure(*run);
    }
    report.conflicts.assign(pieces.begin() + 1, pieces.end());
    std::sort(report.conflicts.begin(), report.conflicts.end());
    auto files = changed_paths(git, head, pieces[0]);
    if (!files) return std::move(files).error();
    report.files = std::move(*files);
    return Ok{};
}

Status real_merge(const Repo& repo, const TemplateContext& context, const std::string& head,
                  const std::string& render, UpdateReport& report) {
    const GitCall git{repo.top, {}};
    std::vector<std::string> merge;
    // The merge is the user's own commit; the project's author signs it only where git has no
    // identity to use.
    auto ident = git_run(git, {"var", "GIT_COMMITTER_IDENT"});
    if (!ident) return std::move(ident).error();
    if (!ident->success) {
        const CommitIdentity identity = commit_identity(context.author);
        merge = {"-c", "user.name=" + identity.name, "-c", "user.email=" + identity.email};
    }
    const std::string message =
        "chore: update " + context.name + " with tarnwick " + std::string(kVersion);
    for (const char* arg : {"merge", "--no-ff", "--no-edit", "--no-verify",
                            "--no-verify-signatures", "--no-autostash", "-m"}) {
        merge.emplace_back(arg);
    }
    merge.push_back(message);
    merge.push_back(render);
    auto run = git_run(git, merge);
    if (!run) return std::move(run).error();
    if (!run->success) {
        if (!path_exists(repo.git_dir + "/MERGE_HEAD")) return git_failure(*run);
        auto out = git_stdout(git, {"diff", "--name-only", "--diff-filter=U", "-z"});
        if (!out) return std::move(out).error();
        auto conflicts = split_nul(*out);
        std::sort(conflicts.begin(), conflicts.end());
        return CliError::conflict(
            "the update of " + repo.display + " stopped on conflicts in " + join(conflicts, ", ") +
            "; the merge is left in progress: resolve them and commit to finish, or run `git "
            "merge --abort` to return to your commit");
    }
    auto commit = git_stdout(git, {"rev-parse", "HEAD"});
    if (!commit) return std::move(commit).error();
    report.commit = std::string(trim(*commit));
    report.render = render;
    auto files = changed_paths(git, head, *report.commit);
    if (!files) return std::move(files).error();
    report.files = std::move(*files);
    return Ok{};
}

}  // namespace

Result<std::string> run_update(const Update& args, OutputFormat format) {
    auto repo = open_repo(args);
    if (!repo) return std::move(repo).error();
    TARNWICK_TRY(refuse_operation_in_progress(*repo));
    auto head = clean_head(*repo);
    if (!head) return std::move(head).error();
    auto base = find_base(*repo);
    if (!base) return std::move(base).error();
    auto files = read_base_files(*repo, base->commit);
    if (!files) return std::move(files).error();
    auto context = answers_from_render(files->cargo_toml, files->license, files->pyproject);
    if (!context) return std::move(context).error();

    UpdateReport report;
    report.project = repo->display;
    report.from = base->version;
    report.to = std::string(kVersion);
    report.dry_run = args.dry_run;
    report.base = base->commit;

    auto scratch = ScratchDir::create();
    if (!scratch) return std::move(scratch).error();
    // A dry run keeps its objects in the scratch directory and only reads the repository's.
    std::vector<std::string> object_env;
    if (args.dry_run) {
        const std::string objects = **scratch / "objects";
        for (const std::string& dir : {objects, objects + "/pack", objects + "/info"}) {
            if (::mkdir(dir.c_str(), 0700) != 0)
                return CliError::io(dir + ": " + OsError{errno}.text());
        }
        object_env = {"GIT_OBJECT_DIRECTORY=" + objects,
                      "GIT_ALTERNATE_OBJECT_DIRECTORIES=" + alternate_entry(repo->objects)};
    }

    auto pristine = build_pristine(*repo, *context, *files, **scratch, object_env);
    if (!pristine) return std::move(pristine).error();
    report.notes = std::move(pristine->notes);
    // A lock that could not be refreshed means the manifest changed, so the tree did too.
    if (pristine->tree == base->tree) {
        report.current = true;
    } else {
        auto render = commit_render(*repo, *context, pristine->tree, base->commit, object_env);
        if (!render) return std::move(render).error();
        if (args.dry_run) {
            TARNWICK_TRY(dry_merge(*repo, *head, *render, object_env, report));
        } else {
            TARNWICK_TRY(real_merge(*repo, *context, *head, *render, report));
        }
    }
    return (format == OutputFormat::Json ? render_update_json(report)
                                         : render_update_text(report)) +
           "\n";
}

}  // namespace tarnwick

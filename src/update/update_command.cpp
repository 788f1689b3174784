// `update`: render the template set the project was made from with the answers it was made
// with (the base), render this tarnwick's set with the same or changed answers (the target), and
// merge the target into the current branch with git's three-way merge against that base. The
// base comes from the project's record, or, for a project made before records, from its first
// commit when a render reproduces that commit exactly. History is never trusted beyond that.
//
// Every refusal comes before anything is written. The dry run and the update merge the same way:
// `git merge-tree --write-tree` in a private repository of the scratch directory, so computing
// and checking the merge touches none of the project's refs, index, work tree, objects or hooks.
// The update then writes the merge state, the index and the work tree, in that order, leaves
// the merge in progress (MERGE_HEAD, labelled markers) and commits it with `git commit`, which
// signs as the user's configuration says.
#include "update/update_command.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

#include "answers/commit_identity.hpp"
#include "answers/option_values.hpp"
#include "answers/project_record.hpp"
#include "answers/render.hpp"
#include "answers/template_tree.hpp"
#include "answers/template_values.hpp"
#include "core/github_names.hpp"
#include "core/io.hpp"
#include "core/product.hpp"
#include "core/text.hpp"
#include "output/update_report.hpp"
#include "process/git_version.hpp"
#include "process/lockfile.hpp"
#include "process/runner.hpp"
#include "update/git_output.hpp"
#include "update/render_answers.hpp"
#include "update/renders.hpp"
#include "update/scratch_dir.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kAgain = ", then run `tarnwick update` again";

// The file in the git directory that says an update is applying its merge: until it is gone,
// the index may be ahead of the work tree, and `git reset --hard` is the way back.
constexpr std::string_view kApplying = "TARNWICK_UPDATE";
constexpr std::string_view kResetHard = "`git reset --hard` returns it to your commit";

struct Project {
    std::string display;  // PATH as given, in display form
    std::string top;      // the work tree's root
    std::string git_dir;  // this work tree's git directory
    std::string common_dir;
    std::string prefix;  // the project directory relative to top: "" or "sub/dir/"
    std::string dir() const { return prefix.empty() ? top : top + "/" + prefix; }
};

// git with the repository's hooks off, for the steps that only build scratch state.
std::vector<std::string> no_hooks(std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "core.hooksPath=/dev/null"});
    return args;
}

// The paths git prints are relative to the top; the report's are relative to the project.
std::string in_project(const Project& project, std::string_view path) {
    return std::string(path.substr(project.prefix.size()));
}

Status check_path_text(std::string_view path, const std::string& display) {
    if (is_valid_utf8(path) && path.find('\n') == std::string_view::npos) return Ok{};
    return CliError::usage("cannot update the project at " + tarnwick::quoted(display) +
                           ": tarnwick passes paths to git as lines of UTF-8 text, and this "
                           "path has a line feed or bytes that are not UTF-8; move the project");
}

Result<Project> open_project(const Update& args) {
    Project project;
    project.display = decode_lossy(args.path);
    TARNWICK_TRY(check_path_text(args.path, project.display));
    struct stat st {};
    if (::stat(args.path.c_str(), &st) != 0) {
        return CliError::io(project.display + ": " + OsError{errno}.text());
    }
    if (!S_ISDIR(st.st_mode)) {
        return CliError::io(project.display + ": " + OsError{ENOTDIR}.text());
    }
    TARNWICK_TRY_ASSIGN(auto run,
                        run_git_unchecked({args.path, {}},
                                          {"rev-parse", "--path-format=absolute", "--show-toplevel",
                                           "--git-dir", "--git-common-dir", "--show-prefix"}));
    const auto paths = lines(run.stdout_text).strings();
    if (!run.success || paths.size() < 3) {
        return CliError::git(project.display +
                             " is not in a git work tree; `tarnwick update` works in a project "
                             "that `tarnwick new` made");
    }
    if (!run.stdout_was_utf8 || paths.size() > 4) {
        TARNWICK_TRY(check_path_text("\n", project.display));
    }
    project.top = paths[0];
    project.git_dir = paths[1];
    project.common_dir = paths[2];
    project.prefix = paths.size() == 4 ? paths[3] : "";
    return project;
}

// Held for the whole run: a second update of the same repository waits for nothing and is
// refused. The lock is on the common git directory itself, so nothing is created there and it
// goes with the process however the process ends.
Result<Fd> lock_repository(const Project& project) {
    auto fd = open_fd(project.common_dir, O_RDONLY | O_DIRECTORY);
    if (!fd) return CliError::io(project.common_dir + ": " + fd.error().text());
    if (::flock(fd->get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return CliError::git("another `tarnwick update` is running in " + project.display +
                                 "; wait for it to finish" + std::string(kAgain));
        }
        return CliError::io(project.common_dir + ": " + OsError{errno}.text());
    }
    return std::move(fd).value();
}

// The operations that leave the repository half-way; merging on top of one would tangle both.
Status refuse_operation_in_progress(const Project& project) {
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
        {"BISECT_LOG", "a bisect", "end it with `git bisect reset`"},
    };
    // An update stopped while applying its merge (by a signal, a full disk): the index may be
    // ahead of the work tree, which `git merge --abort` would refuse or leave half-way.
    // The mark names the commit the update started from, which is MERGE_HEAD too; a merge of
    // the user's own after a stale mark is not taken for the update's.
    TARNWICK_TRY_ASSIGN(auto mark,
                        read_optional_file(project.git_dir + "/" + std::string(kApplying)));
    TARNWICK_TRY_ASSIGN(auto merge_head, read_optional_file(project.git_dir + "/MERGE_HEAD"));
    if (mark && merge_head && *mark == *merge_head) {
        return CliError::git("an update of " + project.display +
                             " stopped part-way through applying its merge; " +
                             std::string(kResetHard) + std::string(kAgain));
    }
    for (const InProgress& op : kOperations) {
        if (path_exists(project.git_dir + "/" + op.marker)) {
            return CliError::git(std::string(op.what) + " is in progress in " + project.display +
                                 "; " + op.finish + std::string(kAgain));
        }
    }
    // The merge writes the index; git would refuse only after ORIG_HEAD is set.
    if (path_exists(project.git_dir + "/index.lock")) {
        return CliError::git("another git process is writing the index of " + project.display +
                             " (" + decode_lossy(project.git_dir) +
                             "/index.lock exists); wait for it to finish, or remove that file if "
                             "no git is running" +
                             std::string(kAgain));
    }
    return Ok{};
}

std::string some_paths(const std::vector<std::string>& paths) {
    constexpr std::size_t kShown = 5;
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < std::min(paths.size(), kShown); ++i) {
        shown.push_back(escape_non_printable(paths[i]));
    }
    std::string text = join(shown, ", ");
    if (paths.size() > kShown) text += " and " + std::to_string(paths.size() - kShown) + " more";
    return text;
}

struct Head {
    std::string commit;
    std::string branch;
};

// HEAD and its branch, once the work tree is known to be clean. GIT_OPTIONAL_LOCKS=0 keeps
// status from refreshing the index file, which a refusal must leave as it found it.
Result<Head> clean_head(const Project& project) {
    const GitCall git{project.top, {"GIT_OPTIONAL_LOCKS=0"}};
    TARNWICK_TRY_ASSIGN(auto out, git_stdout(git, {"status", "--porcelain=v2", "--branch",
                                                   "--untracked-files=no", "-z"}));
    const WorkTreeStatus status = work_tree_status(out);
    if (!status.changed.empty()) {
        return CliError::git(project.display + " has uncommitted changes (" +
                             some_paths(status.changed) + "); commit or stash them" +
                             std::string(kAgain));
    }
    if (!status.head) {
        return CliError::git(project.display +
                             " has no commits; there is no tarnwick project to update");
    }
    if (!status.branch) {
        return CliError::git("HEAD is detached in " + project.display +
                             "; the update is a commit on a branch: `git switch BRANCH`" +
                             std::string(kAgain));
    }
    return Head{*status.head, *status.branch};
}

// Edits to files marked assume-unchanged or skip-worktree are invisible to status, and a merge
// would overwrite them: none may be in the project, wherever below it PATH pointed.
Status refuse_hidden_files(const Project& project) {
    const GitCall git{project.top, {"GIT_OPTIONAL_LOCKS=0"}};
    TARNWICK_TRY_ASSIGN(auto flags, git_stdout(git, {"ls-files", "-v", "-z", "--", project.dir()}));
    const auto hidden = hidden_from_status(flags);
    if (!hidden.empty()) {
        return CliError::git(some_paths(hidden) +
                             " marked assume-unchanged or skip-worktree, so git cannot show "
                             "whether they have uncommitted edits; clear the marks with `git "
                             "update-index --no-assume-unchanged --no-skip-worktree -- PATH…`" +
                             std::string(kAgain));
    }
    return Ok{};
}

// PATH may be any directory inside the project: the project is the nearest directory at or
// above it whose committed files hold a record or a Cargo.toml, so a project without a record
// inside a larger one that has one is still itself.
Status locate_project(Project& project) {
    std::vector<std::string> candidates = {project.prefix};
    for (std::string p = project.prefix; !p.empty();) {
        p.pop_back();
        const auto slash = p.rfind('/');
        p = slash == std::string::npos ? "" : p.substr(0, slash + 1);
        candidates.push_back(p);
    }
    std::string request;
    for (const std::string& c : candidates) {
        request += "HEAD:" + c + std::string(kRecordFile) + "\nHEAD:" + c + "Cargo.toml\n";
    }
    TARNWICK_TRY_ASSIGN(auto out,
                        git_stdout({project.top, {}}, {"cat-file", "--batch-check"}, request));
    const auto checks = lines(out).strings();
    for (std::size_t at = 0; at < checks.size() && at / 2 < candidates.size(); ++at) {
        if (!checks[at].ends_with(" missing")) {
            project.prefix = candidates[at / 2];
            return Ok{};
        }
    }
    return Ok{};
}

// The files of the project directory at a commit, checked out below dest through a private
// index: nothing of the repository is written.
Status check_out_project(const Project& project, const std::string& commit,
                         const std::string& index, const std::string& dest,
                         const std::vector<std::string>& only = {}) {
    // The bytes as committed: no line-ending conversion (core.autocrlf, an eol attribute) or
    // filter of the project's work tree applies, since the work tree git sees is dest, empty.
    if (auto made = create_directories(dest); !made) {
        return CliError::io(dest + ": " + made.error().text());
    }
    const GitCall git{
        dest, {"GIT_INDEX_FILE=" + index, "GIT_WORK_TREE=" + dest, "GIT_DIR=" + project.git_dir}};
    const std::string tree = commit + ":" + project.prefix;
    TARNWICK_TRY(git_stdout(git, no_hooks({"read-tree", tree})));
    std::vector<std::string> args = {
        "-c", "core.autocrlf=false",   "-c", "core.eol=lf", "checkout-index",
        "-f", "--prefix=" + dest + "/"};
    if (only.empty()) {
        args.push_back("-a");
    } else {
        args.push_back("--");
        args.insert(args.end(), only.begin(), only.end());
    }
    TARNWICK_TRY(git_stdout(git, no_hooks(args)));
    return Ok{};
}

// The relative paths of the files in the project directory at a commit.
Result<std::vector<std::string>> project_files_at(const Project& project,
                                                  const std::string& commit) {
    TARNWICK_TRY_ASSIGN(auto out,
                        git_stdout({project.top, {}}, {"ls-tree", "-r", "-z", "--name-only",
                                                       commit + ":" + project.prefix}));
    auto files = split(out, '\0').strings();
    std::sort(files.begin(), files.end());
    return files;
}

// ---- The base ---------------------------------------------------------------------------

struct Base {
    const TemplateSet* set = nullptr;
    Answers answers;
    std::string found_by;              // for the report
    std::optional<std::string> doubt;  // why the base is taken on the user's word
};

std::string known_sets() {
    std::vector<std::string> ids;
    for (const TemplateSet& set : template_sets()) ids.emplace_back(set.identity);
    return join(ids, ", ");
}

Result<const TemplateSet*> set_named(std::string_view identity, std::string_view where) {
    if (const TemplateSet* set = find_template_set(identity)) return set;
    // "0.1.6+4d44ce2" compares as 0.1.6: build metadata is ignored.
    const auto release = parse_version(identity);
    const auto ours = parse_version(kVersion);
    if (release && ours && *ours < *release) {
        return CliError::git("the project was made by tarnwick " + escape_non_printable(identity) +
                             ", newer than this tarnwick " + std::string(kVersion) +
                             "; update tarnwick itself rather than taking the project back");
    }
    return CliError::git(std::string(where) + " names the template set " +
                         tarnwick::quoted(escape_non_printable(identity)) +
                         ", which this tarnwick does not know (it knows " + known_sets() + ")");
}

struct FirstCommit {
    std::string commit;
    std::string dir;  // its project files, checked out in the scratch directory
    std::vector<std::string> files;
};

Result<FirstCommit> first_commit(const Project& project, const ScratchDir& scratch) {
    const GitCall git{project.top, {}};
    TARNWICK_TRY_ASSIGN(auto out,
                        git_stdout(git, {"rev-list", "--reverse", "--topo-order", "HEAD", "--",
                                         project.prefix.empty() ? "." : project.prefix}));
    const auto commits = lines(out).strings();
    if (commits.empty() || commits[0].empty()) {
        return CliError::git("no commit of " + project.display + " holds the project");
    }
    FirstCommit first{commits[0], scratch / "first", {}};
    TARNWICK_TRY_ASSIGN(auto files, project_files_at(project, first.commit));
    first.files = std::move(files);
    TARNWICK_TRY(check_out_project(project, first.commit, scratch / "first.index", first.dir));
    return first;
}

Result<Answers> answers_of_files(const std::string& dir, std::string_view origin) {
    TARNWICK_TRY_ASSIGN(auto cargo, read_optional_file(dir + "/Cargo.toml"));
    TARNWICK_TRY_ASSIGN(auto license, read_optional_file(dir + "/LICENSE"));
    const bool pypi = path_exists(dir + "/pyproject.toml");
    TARNWICK_TRY_ASSIGN(auto answers,
                        answers_from_render(cargo.value_or(""), license.value_or(""), pypi));
    TARNWICK_TRY(check_answers(answers, origin));
    return answers;
}

// The files of the list whose bytes differ between the two directories.
Result<std::vector<std::string>> differing_files(const std::string& a, const std::string& b,
                                                 const std::vector<std::string>& files) {
    std::vector<std::string> differ;
    for (const std::string& file : files) {
        TARNWICK_TRY_ASSIGN(auto x, read_optional_file(a + "/" + file));
        TARNWICK_TRY_ASSIGN(auto y, read_optional_file(b + "/" + file));
        if (x != y) differ.push_back(file);
    }
    return differ;
}

std::string short_id(const std::string& commit) {
    return commit.substr(0, 12);
}

// A project made before records: the set and answers of its first commit, accepted only when a
// render of that set with those answers gives that commit's files exactly. The Rust files went
// through the rustfmt of the day; when only they differ, both sides are formatted by today's
// rustfmt and compared again.
Result<Base> adopt(const Project& project, const ScratchDir& scratch, const Formatting& formatting,
                   const std::optional<std::string>& from) {
    const std::string how_to_name =
        "; if you know which tarnwick made it, name its template set: `tarnwick update --from "
        "VERSION` (one of " +
        known_sets() + ")";
    TARNWICK_TRY_ASSIGN(auto shallow,
                        git_stdout({project.top, {}}, {"rev-parse", "--is-shallow-repository"}));
    if (!from && trim(shallow) == "true") {
        return CliError::git(project.display + " has no " + std::string(kRecordFile) +
                             " and is a shallow clone, so the first commit that shows what "
                             "tarnwick made is not here; fetch it with `git fetch --unshallow`" +
                             std::string(kAgain) + how_to_name);
    }
    TARNWICK_TRY_ASSIGN(auto first, first_commit(project, scratch));
    const std::string origin = "read from the first commit " + short_id(first.commit);
    auto answers = answers_of_files(first.dir, origin);
    if (!answers) {
        if (from) return std::move(answers).error();
        return std::move(answers).error().followed_by(how_to_name);
    }
    auto first_files = first.files;
    std::erase(first_files, "Cargo.lock");  // from the crates registry, not a template
    if (from) {
        TARNWICK_TRY_ASSIGN(auto set, set_named(*from, "--from"));
        // The named set made the first commit only if it renders that commit's files; their
        // bytes may differ (the commit was amended), their list may not.
        std::vector<std::string> files;
        TARNWICK_TRY(render_tree(*set->root, scratch / "named", *answers, set->identity, files));
        std::sort(files.begin(), files.end());
        Base base{set, std::move(*answers), "--from " + std::string(set->identity), {}};
        if (files != first_files) {
            base.doubt = "--from " + std::string(set->identity) +
                         " is not borne out by the first commit " + short_id(first.commit) +
                         ", whose files are not the ones that set renders: the base is taken on "
                         "your word";
        }
        return base;
    }
    bool first_formatted = false;
    int attempt = 0;
    for (const TemplateSet& set : template_sets()) {
        // Rendered plain first: most sets differ in their file list or in a file that no
        // formatter touches, and are ruled out without running cargo.
        const std::string dir = scratch / ("candidate-" + std::to_string(attempt++));
        std::vector<std::string> files;
        TARNWICK_TRY(render_tree(*set.root, dir, *answers, set.identity, files));
        std::sort(files.begin(), files.end());
        if (files != first_files) continue;
        TARNWICK_TRY_ASSIGN(auto differ, differing_files(dir, first.dir, files));
        if (std::any_of(differ.begin(), differ.end(),
                        [](const std::string& f) { return !f.ends_with(".rs"); })) {
            continue;
        }
        if (!differ.empty()) {
            if (!first_formatted) {
                TARNWICK_TRY(format_rust_files(first.dir, first_files, formatting));
                first_formatted = true;
            }
            TARNWICK_TRY(format_rust_files(dir, files, formatting));
            TARNWICK_TRY_ASSIGN(differ, differing_files(dir, first.dir, differ));
            if (!differ.empty()) continue;
        }
        return Base{&set,
                    std::move(*answers),
                    "the first commit " + short_id(first.commit) + ", made by tarnwick " +
                        std::string(set.identity),
                    {}};
    }
    return CliError::git("the first commit " + short_id(first.commit) + " of " + project.display +
                         " is not what any tarnwick release renders with the answers it holds "
                         "(its files were edited, or it was made otherwise), so the base of "
                         "the merge cannot be known" +
                         how_to_name + "; nothing was changed");
}

Result<Base> find_base(const Project& project, const ScratchDir& scratch,
                       const Formatting& formatting, const std::optional<std::string>& from) {
    const std::string path = std::string(project.prefix).append(kRecordFile);
    // "<id> blob <size>", or "HEAD:<path> missing": the size is known before the file is read.
    TARNWICK_TRY_ASSIGN(auto check, git_stdout({project.top, {}}, {"cat-file", "--batch-check"},
                                               "HEAD:" + path + "\n"));
    const auto fields = split(trim(check), ' ').strings();
    if (fields.size() != 3 || fields[1] != "blob") return adopt(project, scratch, formatting, from);
    const std::string& bytes = fields[2];
    if (bytes.empty() || bytes.size() > 12 ||
        bytes.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(bytes) > kMaxRecordBytes) {
        return CliError::git(std::string(kRecordFile) + " is " + escape_non_printable(bytes) +
                             " bytes, over the " + std::to_string(kMaxRecordBytes / 1024) +
                             " KiB a record may have, and was not read; restore the file as "
                             "tarnwick wrote it");
    }
    TARNWICK_TRY_ASSIGN(auto shown,
                        run_git_unchecked({project.top, {}}, {"cat-file", "blob", fields[0]}));
    if (!shown.success) return git_failure(shown);
    if (!shown.stdout_was_utf8) {
        return CliError::git(std::string(kRecordFile) +
                             " is not UTF-8 text; restore the file "
                             "as tarnwick wrote it");
    }
    TARNWICK_TRY_ASSIGN(auto record, parse_project_record(shown.stdout_text));
    TARNWICK_TRY(check_answers(record.answers, "in " + std::string(kRecordFile)));
    TARNWICK_TRY_ASSIGN(auto set, set_named(from.value_or(record.template_set),
                                            from ? "--from" : std::string(kRecordFile)));
    return Base{
        set, std::move(record.answers), from ? "--from " + *from : std::string(kRecordFile), {}};
}

// ---- Merging ------------------------------------------------------------------------------
//
// One engine for the dry run and the real update: `git merge-tree --write-tree` merges the
// target into HEAD against the base in a private repository of the scratch directory, whose
// work tree is the project's (so the project's .gitattributes choose the merge drivers) and
// whose branches are named for the markers (the user's branch, and tarnwick-VERSION). Both check
// the result against the work tree; the real update then copies the new objects into the
// project's object store and applies the result.

struct Renders {
    std::string base_root;  // the scratch directory the base was rendered below (at the prefix)
    std::string target_root;
    std::vector<std::string> base_files;
    std::vector<std::string> target_files;
    std::vector<std::string> head_files;
};

struct Engine {
    std::string git_dir;
    std::vector<std::string> env;  // the engine's repository, its objects, the project's work tree
    GitCall call(const std::string& dir, std::vector<std::string> more = {}) const {
        more.insert(more.begin(), env.begin(), env.end());
        return {dir, std::move(more)};
    }
};

// The engine's repository, holding a copy of HEAD's tree and whatever the merge writes: nothing
// of the project's repository is written while the merge is computed and checked, not even an
// object's time. HEAD's objects are read through the project's object store as an alternate,
// for the copy only (a write through an alternate would touch the times of objects it has).
Result<Engine> engine_repository(const Project& project, const Head& head,
                                 const ScratchDir& scratch) {
    Engine engine;
    engine.git_dir = scratch / "engine.git";
    // Of the project's object format, which the length of a commit id tells.
    const std::string format = head.commit.size() == 64 ? "sha256" : "sha1";
    TARNWICK_TRY(git_stdout({scratch.path(), {}}, {"init", "-q", "--bare", "--template=",
                                                   "--object-format=" + format, engine.git_dir}));
    engine.env = {"GIT_DIR=" + engine.git_dir,           "GIT_AUTHOR_NAME=tarnwick",
                  "GIT_AUTHOR_EMAIL=tarnwick@localhost", "GIT_AUTHOR_DATE=@0 +0000",
                  "GIT_COMMITTER_NAME=tarnwick",         "GIT_COMMITTER_EMAIL=tarnwick@localhost",
                  "GIT_COMMITTER_DATE=@0 +0000"};
    TARNWICK_TRY(git_stdout(engine.call(scratch.path(), {"GIT_ALTERNATE_OBJECT_DIRECTORIES=" +
                                                         project.common_dir + "/objects"}),
                            {"pack-objects", "--revs", "-q", engine.git_dir + "/objects/pack/pack"},
                            head.commit + "^{tree}\n"));
    return engine;
}

// The loose objects the engine wrote, copied into the project's object store (each written
// beside its place and renamed into it), so that the index can name them.
Status copy_new_objects(const Project& project, const Engine& engine) {
    namespace fs = std::filesystem;
    const std::string to = project.common_dir + "/objects";
    std::error_code ec;
    for (const auto& dir : fs::directory_iterator(engine.git_dir + "/objects", ec)) {
        const std::string name = dir.path().filename();
        if (name.size() != 2 || !dir.is_directory(ec)) continue;
        for (const auto& file : fs::directory_iterator(dir.path(), ec)) {
            const std::string leaf = file.path().filename();
            const std::string target = to + "/" + name + "/" + leaf;
            if (path_exists(target)) continue;
            (void)::mkdir((to + "/" + name).c_str(), 0777);
            TARNWICK_TRY_ASSIGN(auto bytes, read_optional_file(file.path()));
            const std::string temporary = to + "/" + name + "/tmp_tarnwick_" + leaf;
            auto fd = open_fd(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0444);
            if (!fd) return CliError::io(temporary + ": " + fd.error().text());
            auto written = write_all(fd->get(), bytes.value_or(""));
            if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
                const OsError error = written ? OsError{errno} : written.error();
                (void)::unlink(temporary.c_str());
                return CliError::io(target + ": " + error.text());
            }
        }
        if (ec) break;
    }
    if (ec) return CliError::io(engine.git_dir + "/objects: " + ec.message());
    return Ok{};
}

// A tree of the whole repository: HEAD outside the project directory, the render inside it.
Result<std::string> write_tree(const Project& project, const Engine& engine,
                               const std::string& head_tree, const std::string& render_root,
                               const std::vector<std::string>& files, const std::string& index) {
    const GitCall git =
        engine.call(render_root, {"GIT_INDEX_FILE=" + index, "GIT_WORK_TREE=" + render_root});
    if (!project.prefix.empty()) {
        TARNWICK_TRY(git_stdout(git, no_hooks({"read-tree", head_tree})));
        TARNWICK_TRY(git_stdout(git, no_hooks({"rm", "-r", "-q", "-f", "--cached",
                                               "--ignore-unmatch", "--", project.prefix})));
    }
    std::vector<std::string> add = {"add", "-f", "--"};
    for (const std::string& file : files) add.push_back(project.prefix + file);
    TARNWICK_TRY(git_stdout(git, no_hooks(add)));
    TARNWICK_TRY_ASSIGN(auto tree, git_stdout(git, no_hooks({"write-tree"})));
    return std::string(trim(tree));
}

Result<std::string> commit_tree(const GitCall& git, const std::string& tree,
                                const std::optional<std::string>& parent,
                                const std::string& message) {
    std::vector<std::string> args = {"commit-tree", "--no-gpg-sign", tree};
    if (parent) args.insert(args.end(), {"-p", *parent});
    args.insert(args.end(), {"-m", message});
    TARNWICK_TRY_ASSIGN(auto commit, git_stdout(git, args));
    return std::string(trim(commit));
}

struct MergeResult {
    std::string head_tree;
    std::string tree;                   // the merged tree, conflicted files with their markers
    std::vector<std::string> stages;    // "MODE OID STAGE\tPATH" of the conflicted paths
    std::vector<Unmerged> unmerged;     // paths relative to the top
    std::vector<std::string> added;     // in the merged tree, not in HEAD's
    std::vector<std::string> modified;  // in both, changed
    std::vector<std::string> deleted;   // in HEAD's, not in the merged tree
};

Result<MergeResult> compute_merge(const Project& project, const Head& head, const Engine& engine,
                                  const Renders& renders, const ScratchDir& scratch) {
    MergeResult result;
    TARNWICK_TRY_ASSIGN(auto head_tree,
                        git_stdout({project.top, {}}, {"rev-parse", head.commit + "^{tree}"}));
    result.head_tree = std::string(trim(head_tree));
    TARNWICK_TRY_ASSIGN(auto base_tree,
                        write_tree(project, engine, result.head_tree, renders.base_root,
                                   renders.base_files, scratch / "base.index"));
    TARNWICK_TRY_ASSIGN(auto target_tree,
                        write_tree(project, engine, result.head_tree, renders.target_root,
                                   renders.target_files, scratch / "target.index"));

    const GitCall git = engine.call(scratch.path());
    TARNWICK_TRY_ASSIGN(auto base, commit_tree(git, base_tree, std::nullopt, "base"));
    TARNWICK_TRY_ASSIGN(auto ours, commit_tree(git, result.head_tree, base, "ours"));
    TARNWICK_TRY_ASSIGN(auto theirs, commit_tree(git, target_tree, base, "theirs"));
    // The markers name the branches merged: the user's branch and this tarnwick.
    std::string label = "tarnwick-" + std::string(kVersion);
    if (label == head.branch) label += "-templates";
    TARNWICK_TRY(git_stdout(git, {"update-ref", "--stdin"},
                            "update refs/heads/" + head.branch + " " + ours +
                                "\nupdate refs/heads/" + label + " " + theirs + "\n"));
    // The work tree is the project's, for its attributes only: merge-tree writes objects alone.
    const GitCall merging = engine.call(
        project.top, {"GIT_WORK_TREE=" + project.top, "GIT_INDEX_FILE=" + (scratch / "none")});
    TARNWICK_TRY_ASSIGN(
        auto run, run_git_unchecked(merging, {"merge-tree", "--write-tree", "--no-messages", "-z",
                                              head.branch, label}));
    // Exit status 1 means conflicts; the tree and the conflicted entries are printed either way.
    auto pieces = split(run.stdout_text, '\0').strings();
    if (run.signal || (run.exit_code != 0 && run.exit_code != 1) || pieces.empty() ||
        pieces[0].size() < 40 ||
        pieces[0].find_first_not_of("0123456789abcdef") != std::string::npos) {
        return git_failure(run);
    }
    result.tree = pieces[0];
    result.stages.assign(pieces.begin() + 1, pieces.end());
    std::erase(result.stages, std::string());
    auto unmerged = unmerged_paths(result.stages);
    if (!unmerged) return git_failure(run);
    result.unmerged = std::move(*unmerged);

    TARNWICK_TRY_ASSIGN(auto diff,
                        git_stdout(git, {"diff-tree", "-r", "-z", "--no-renames", "--name-status",
                                         result.head_tree, result.tree}));
    const auto fields = split(diff, '\0').strings();
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        const std::string& status = fields[i];
        const std::string& path = fields[i + 1];
        if (status == "A") {
            result.added.push_back(path);
        } else if (status == "D") {
            result.deleted.push_back(path);
        } else {
            result.modified.push_back(path);
        }
    }
    return result;
}

// Whatever path git chose (a rename or a directory rename may move a template's file), the
// merge must not write where an untracked or ignored file is, nor below a file where it needs a
// directory: git would refuse the first part-way through, or overwrite the second.
Status refuse_writes_over_untracked(const Project& project, const MergeResult& merge) {
    std::vector<std::string> in_the_way;
    for (const std::string& file : merge.added) {
        struct stat st {};
        bool blocked = ::lstat((project.top + "/" + file).c_str(), &st) == 0;
        for (auto slash = file.find('/'); !blocked && slash != std::string::npos;
             slash = file.find('/', slash + 1)) {
            const std::string parent = project.top + "/" + file.substr(0, slash);
            blocked = ::lstat(parent.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
        }
        if (blocked) {
            in_the_way.push_back(file.starts_with(project.prefix) ? in_project(project, file)
                                                                  : file);
        }
    }
    if (in_the_way.empty()) return Ok{};
    return CliError::git("the update adds " + some_paths(in_the_way) +
                         ", but an untracked or ignored file is in the way in " + project.display +
                         "; move it aside or commit it" + std::string(kAgain));
}

std::vector<std::string> changed_cleanly(std::vector<std::string> files,
                                         const std::vector<UpdateConflict>& conflicts) {
    std::erase_if(files, [&](const std::string& f) {
        return std::any_of(conflicts.begin(), conflicts.end(),
                           [&](const UpdateConflict& c) { return c.path == f; });
    });
    return files;
}

// The report's files and conflicts, as the merge gives them, within the project directory.
void report_merge(const Project& project, const MergeResult& merge, UpdateReport& report) {
    report.conflicts.clear();
    for (const Unmerged& u : merge.unmerged) {
        if (u.path.starts_with(project.prefix)) {
            report.conflicts.push_back({in_project(project, u.path), u.kind});
        }
    }
    std::vector<std::string> files;
    for (const auto* list : {&merge.added, &merge.modified, &merge.deleted}) {
        for (const std::string& path : *list) {
            if (path.starts_with(project.prefix)) files.push_back(in_project(project, path));
        }
    }
    std::sort(files.begin(), files.end());
    report.files = changed_cleanly(std::move(files), report.conflicts);
}

Status write_git_file(const Project& project, std::string_view name, std::string_view text) {
    const std::string path = project.git_dir + "/" + std::string(name);
    auto fd = open_fd(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!fd) return CliError::io(path + ": " + fd.error().text());
    auto written = write_all(fd->get(), text);
    if (!written) return CliError::io(path + ": " + written.error().text());
    return Ok{};
}

void remove_git_file(const Project& project, std::string_view name) {
    (void)::unlink((project.git_dir + "/" + std::string(name)).c_str());
}

// The index file replaced whole, as git replaces it: written beside it under index.lock (which
// also keeps other gits out while it is written) and renamed over it.
Status install_index(const Project& project, const std::string& from) {
    TARNWICK_TRY_ASSIGN(auto bytes, read_optional_file(from));
    const std::string index = project.git_dir + "/index";
    const std::string lock = index + ".lock";
    auto fd = open_fd(lock, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!fd) {
        if (fd.error().code == EEXIST) {
            return CliError::git("another git process is writing the index of " + project.display +
                                 " (" + decode_lossy(lock) + " exists)");
        }
        return CliError::io(lock + ": " + fd.error().text());
    }
    auto written = write_all(fd->get(), bytes.value_or(""));
    if (written && ::fsync(fd->get()) != 0) written = OsError{errno};
    if (!written || ::rename(lock.c_str(), index.c_str()) != 0) {
        const OsError error = written ? OsError{errno} : written.error();
        (void)::unlink(lock.c_str());
        return CliError::io(index + ": " + error.text());
    }
    return Ok{};
}

// Removes a deleted file and the directories it leaves empty, up to the top.
void remove_from_work_tree(const Project& project, const std::string& path) {
    if (::unlink((project.top + "/" + path).c_str()) != 0) return;
    for (std::string dir = path; dir.rfind('/') != std::string::npos;) {
        dir.resize(dir.rfind('/'));
        if (::rmdir((project.top + "/" + dir).c_str()) != 0) return;
    }
}

// A failure while the mark is down: the index may be ahead of the work tree.
CliError stopped_part_way(const Project& project, CliError error) {
    return std::move(error).followed_by("; the update of " + project.display +
                                        " stopped part-way: " + std::string(kResetHard));
}

// The merge applied to the project: the index takes the whole result first, then the work tree
// its files, then the conflicted paths their stages. While the mark is down (the caller lifts it
// once the lock file, too, is staged), `git reset --hard`, named by the next update, returns
// every tracked file and removes every file the merge added; afterwards the merge is in progress
// as `git merge` leaves one, whose MERGE_HEAD is HEAD itself.
Status apply_merge(const Project& project, const Head& head, const MergeResult& merge,
                   const std::string& message, const ScratchDir& scratch) {
    const std::string index = scratch / "apply.index";
    if (path_exists(project.git_dir + "/index")) {
        TARNWICK_TRY_ASSIGN(auto bytes, read_optional_file(project.git_dir + "/index"));
        auto fd = open_fd(index, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!fd) return CliError::io(index + ": " + fd.error().text());
        auto written = write_all(fd->get(), bytes.value_or(""));
        if (!written) return CliError::io(index + ": " + written.error().text());
    }
    // Whole, not split: a split index names a shared file beside the index it was written as.
    TARNWICK_TRY(git_stdout({project.top, {"GIT_INDEX_FILE=" + index}},
                            no_hooks({"-c", "core.splitIndex=false", "read-tree", "-i", "-m",
                                      merge.head_tree, merge.tree})));

    // The state the way back needs comes first; none of it stays when the index cannot follow.
    Status begun = write_git_file(project, kApplying, head.commit + "\n");
    if (begun) begun = write_git_file(project, "MERGE_HEAD", head.commit + "\n");
    if (begun) begun = write_git_file(project, "MERGE_MSG", message + "\n");
    if (begun) begun = install_index(project, index);
    if (!begun) {
        remove_git_file(project, "MERGE_HEAD");
        remove_git_file(project, "MERGE_MSG");
        remove_git_file(project, kApplying);
        return std::move(begun).error().followed_by("; nothing was changed" + std::string(kAgain));
    }
    for (const std::string& path : merge.deleted) remove_from_work_tree(project, path);
    std::string paths;
    for (const auto* list : {&merge.added, &merge.modified}) {
        for (const std::string& path : *list) paths += path + '\0';
    }
    if (!paths.empty()) {
        auto out = git_stdout({project.top, {}},
                              no_hooks({"checkout-index", "-f", "-u", "-z", "--stdin"}), paths);
        if (!out) return stopped_part_way(project, std::move(out).error());
    }
    if (!merge.stages.empty()) {
        std::string info;
        for (const Unmerged& u : merge.unmerged) {
            info += "0 " + std::string(head.commit.size(), '0') + "\t" + u.path + '\0';
        }
        for (const std::string& record : merge.stages) info += record + '\0';
        auto out =
            git_stdout({project.top, {}}, no_hooks({"update-index", "-z", "--index-info"}), info);
        if (!out) return stopped_part_way(project, std::move(out).error());
    }
    return Ok{};
}

// The project's files whose staged version differs from the commit's.
Result<std::vector<std::string>> staged_changes(const Project& project, const std::string& from) {
    TARNWICK_TRY_ASSIGN(
        auto out, git_stdout({project.top, {}}, {"diff", "--cached", "--name-only", "--no-renames",
                                                 "-z", from, "--", project.dir()}));
    std::vector<std::string> files;
    for (const std::string_view path : split(out, '\0')) files.push_back(in_project(project, path));
    std::sort(files.begin(), files.end());
    return files;
}

// The `-c user.name=… -c user.email=…` of the project's author where git has no identity of the
// user's; nothing otherwise, so the commit is the user's own.
Result<std::vector<std::string>> identity_config(const Project& project, const Answers& answers) {
    std::vector<std::string> config;
    const GitCall git{project.top, {}};
    TARNWICK_TRY_ASSIGN(auto ident, run_git_unchecked(git, {"var", "GIT_COMMITTER_IDENT"}));
    if (!ident.success) {
        const CommitIdentity author = commit_identity(answers.author);
        config = {"-c", "user.name=" + author.name, "-c", "user.email=" + author.email};
    }
    return config;
}

bool tracked(const Renders& renders, const std::string& file) {
    return std::binary_search(renders.head_files.begin(), renders.head_files.end(), file);
}

// The Cargo.lock step is the update's only where git tracks the lock: an untracked or ignored
// lock is the user's, and is left as it is.
std::optional<std::string> untracked_lock_note(const Project& project, const Renders& renders,
                                               const UpdateReport& report) {
    const bool manifest_changed =
        std::find(report.files.begin(), report.files.end(), "Cargo.toml") != report.files.end();
    if (!manifest_changed || tracked(renders, "Cargo.lock")) return std::nullopt;
    if (!path_exists(project.dir() + "/Cargo.lock")) return std::nullopt;
    return "Cargo.lock is not tracked by git, so the update left it as it is: run `cargo update "
           "--workspace` if it should follow the new Cargo.toml";
}

// Whether the branch has left the commit the update started from, read without starting a child
// (a signal may have stopped `git commit` after it wrote the branch): `git commit` writes the
// branch as a loose ref.
bool branch_moved(const Project& project, const Head& head) {
    auto ref = read_optional_file(project.common_dir + "/refs/heads/" + head.branch);
    return ref && *ref && trim(**ref) != head.commit;
}

// The merge of both runs: computed by the engine, refused when it would write over a file git
// does not track, and its files and conflicts put into the report.
struct CheckedMerge {
    Engine engine;
    MergeResult result;
};

Result<CheckedMerge> checked_merge(const Project& project, const Head& head, const Renders& renders,
                                   const ScratchDir& scratch, UpdateReport& report) {
    TARNWICK_TRY_ASSIGN(auto engine, engine_repository(project, head, scratch));
    TARNWICK_TRY_ASSIGN(auto merge, compute_merge(project, head, engine, renders, scratch));
    TARNWICK_TRY(refuse_writes_over_untracked(project, merge));
    report_merge(project, merge, report);
    return CheckedMerge{std::move(engine), std::move(merge)};
}

// The merge computed, checked against the work tree and applied, then committed with `git
// commit` as the user's configuration signs; ORIG_HEAD is set only for that commit, which moves
// HEAD, so `git reset --hard ORIG_HEAD` undoes the update.
Status real_merge(const Project& project, const Head& head, const Renders& renders,
                  const Answers& target, const Update& args, const ScratchDir& scratch,
                  const CargoToolchain& toolchain, UpdateReport& report) {
    TARNWICK_TRY_ASSIGN(auto identity, identity_config(project, target));
    TARNWICK_TRY_ASSIGN(auto merged, checked_merge(project, head, renders, scratch, report));
    const Engine* engine = &merged.engine;
    const MergeResult* merge = &merged.result;
    // The branch already holds every change (made by hand): nothing to apply or commit.
    if (merge->tree == merge->head_tree && merge->unmerged.empty()) {
        report.files.clear();
        report.notes.push_back(
            "the branch already has every change of this update: nothing to commit");
        return Ok{};
    }
    const std::string message =
        "chore: update " + target.name + " with tarnwick " + std::string(kVersion);
    if (auto copied = copy_new_objects(project, *engine); !copied) {
        return std::move(copied).error().followed_by("; nothing was changed" + std::string(kAgain));
    }
    TARNWICK_TRY(apply_merge(project, head, *merge, message, scratch));
    const GitCall git{project.top, {}};
    if (!report.conflicts.empty()) {
        remove_git_file(project, kApplying);
        std::vector<std::string> paths;
        for (const UpdateConflict& c : report.conflicts) paths.push_back(c.path);
        return CliError::conflict("the update of " + project.display + " stopped on conflicts in " +
                                  some_paths(paths) +
                                  "; the merge is left in progress: resolve them, `git add` "
                                  "them and `git commit` to finish, or run `git merge --abort` to "
                                  "return to your commit");
    }

    // A manifest the merge changed takes its lock along, when git tracks the lock.
    const bool manifest_changed =
        std::find(report.files.begin(), report.files.end(), "Cargo.toml") != report.files.end();
    if (auto note = untracked_lock_note(project, renders, report)) {
        report.notes.push_back(*note);
    } else if (manifest_changed && tracked(renders, "Cargo.lock")) {
        if (refresh_lockfile(project.dir(), toolchain)) {
            auto added = git_stdout(git, no_hooks({"add", "--", project.prefix + "Cargo.lock"}));
            if (!added) return stopped_part_way(project, std::move(added).error());
            auto now = staged_changes(project, head.commit);
            if (!now) return stopped_part_way(project, std::move(now).error());
            report.files = std::move(*now);
        } else {
            report.notes.push_back(
                "Cargo.lock could not follow the new Cargo.toml (no cargo, or the crates are "
                "neither cached nor reachable): run `cargo update --workspace` and commit it");
        }
    }
    remove_git_file(project, kApplying);
    if (args.no_commit) {
        report.staged = true;
        return Ok{};
    }
    // ORIG_HEAD as it was, put back when the commit fails.
    TARNWICK_TRY_ASSIGN(auto orig_head, read_optional_file(project.git_dir + "/ORIG_HEAD"));
    TARNWICK_TRY(write_git_file(project, "ORIG_HEAD", head.commit + "\n"));
    std::vector<std::string> commit = identity;
    commit.insert(commit.end(), {"commit", "-q", "--no-edit", "--no-verify"});
    auto committed = run_git_unchecked(git, commit);
    if ((!committed || !committed->success) && !branch_moved(project, head)) {
        if (orig_head) {
            (void)write_git_file(project, "ORIG_HEAD", *orig_head);
        } else {
            remove_git_file(project, "ORIG_HEAD");
        }
    }
    TARNWICK_TRY(committed);
    if (!committed->success) {
        return CliError::git("the update is merged and staged in " + project.display +
                             ", but `git commit` failed: " + git_failure(*committed).message() +
                             "; fix that and run `git commit`, or `git merge --abort` to return "
                             "to your commit");
    }
    TARNWICK_TRY_ASSIGN(auto commit_id, git_stdout(git, {"rev-parse", "HEAD"}));
    report.commit = std::string(trim(commit_id));
    return Ok{};
}

// The same merge as the real update, with its objects kept in the scratch directory.
Status dry_merge(const Project& project, const Head& head, const Renders& renders,
                 const ScratchDir& scratch, UpdateReport& report) {
    TARNWICK_TRY(checked_merge(project, head, renders, scratch, report));
    if (auto note = untracked_lock_note(project, renders, report)) {
        report.notes.push_back(*note);
    } else if (std::find(report.files.begin(), report.files.end(), "Cargo.toml") !=
               report.files.end()) {
        report.notes.push_back("Cargo.lock would follow the new Cargo.toml");
    }
    return Ok{};
}

Status check_given_values(const Update& args) {
    if (args.owner) TARNWICK_TRY(check_owner(*args.owner));
    if (args.description) TARNWICK_TRY(check_description(*args.description));
    if (args.author) TARNWICK_TRY(check_author(*args.author, false));
    if (args.tap) TARNWICK_TRY(check_tap(*args.tap));
    if (args.from && !find_template_set(*args.from)) {
        return CliError::usage("invalid --from " + tarnwick::quoted(*args.from) +
                               ": name a template set this tarnwick knows: " + known_sets());
    }
    return Ok{};
}

std::string render_report(const UpdateReport& report, OutputFormat format) {
    return (format == OutputFormat::Json ? render_update_json(report)
                                         : render_update_text(report)) +
           "\n";
}

}  // namespace

Result<std::string> run_update(const Update& args, OutputFormat format) {
    TARNWICK_TRY(check_given_values(args));
    TARNWICK_TRY(require_git(kGitForUpdate, "`tarnwick update`"));
    TARNWICK_TRY_ASSIGN(auto project, open_project(args));
    TARNWICK_TRY_ASSIGN(auto lock, lock_repository(project));
    TARNWICK_TRY(refuse_operation_in_progress(project));
    TARNWICK_TRY_ASSIGN(auto head, clean_head(project));
    TARNWICK_TRY(locate_project(project));
    TARNWICK_TRY(refuse_hidden_files(project));

    TARNWICK_TRY_ASSIGN(auto scratch, ScratchDir::create());
    const ScratchDir& dir = *scratch;
    TARNWICK_TRY_ASSIGN(auto formatting, pinned_formatting(dir.path()));
    TARNWICK_TRY_ASSIGN(auto base, find_base(project, dir, formatting, args.from));
    const Answers target = with_given(base.answers, args);
    TARNWICK_TRY(check_answers(target, "given"));

    UpdateReport report;
    report.project = project.display;
    report.from = std::string(base.set->identity);
    report.to = std::string(kVersion);
    report.base = base.found_by;
    report.answers = target;
    report.branch = head.branch;
    report.dry_run = args.dry_run;
    if (base.doubt) report.notes.push_back(*base.doubt);
    if (base.set == &template_sets().front() && base.answers == target) {
        report.current = true;
        return render_report(report, format);
    }

    Renders renders;
    renders.base_root = dir / "base";
    renders.target_root = dir / "target";
    TARNWICK_TRY_ASSIGN(auto base_files,
                        render_formatted(*base.set, base.answers,
                                         renders.base_root + "/" + project.prefix, formatting));
    renders.base_files = std::move(base_files);
    TARNWICK_TRY_ASSIGN(auto target_files,
                        render_formatted(template_sets().front(), target,
                                         renders.target_root + "/" + project.prefix, formatting));
    renders.target_files = std::move(target_files);
    TARNWICK_TRY_ASSIGN(auto head_files, project_files_at(project, head.commit));
    renders.head_files = std::move(head_files);

    if (args.dry_run) {
        TARNWICK_TRY(dry_merge(project, head, renders, dir, report));
        return render_report(report, format);
    }
    auto merged =
        real_merge(project, head, renders, target, args, dir, formatting.toolchain, report);
    if (!merged) {
        CliError error = std::move(merged).error();
        if (error.kind() == ErrorKind::Conflict) {
            return std::move(error).with_report(render_report(report, format));
        }
        return error;
    }
    return render_report(report, format);
}

}  // namespace tarnwick

// `tarnwick update` end to end with real git, on projects made by an earlier tarnwick: the
// template tree as it was at an earlier commit (template-sets/0.1.6), rendered by
// the same rules, committed as `new` committed it, then edited by its user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/json.hpp"
#include "scaffold/render.hpp"
#include "scaffold/template_tree.hpp"
#include "scaffold/template_values.hpp"
#include "scaffold_fixture.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr const char* kParagraph = "\nA paragraph of my own.\n";
constexpr const char* kFunction = "\npub fn mine() -> u8 {\n    7\n}\n";

TemplateContext answers(bool pypi) {
    return demo_answers(pypi);
}

// The earlier tree rendered into dir with the same answers, as `new` rendered it then.
void render_earlier(const std::string& dir, bool pypi) {
    const std::filesystem::path root =
        std::string(TARNWICK_SOURCE_DIR) + "/template-sets/0.1.6";
    const TemplateContext context = answers(pypi);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::string rel = entry.path().lexically_relative(root).string();
        rel.resize(rel.size() - 5);  // ".tmpl"
        if (rel == "pyproject.toml" && !pypi) continue;
        write_file(dir + "/" + rel,
                   replace_placeholders(cut_sections(read_file(entry.path()), pypi), context));
    }
}

// Today's render of one file, with the same answers.
std::string render_now(const std::string& file, bool pypi) {
    TempDir now;
    std::vector<std::string> written;
    EXPECT_TRUE(render_tree(template_root(), now.path(), answers(pypi), written).ok());
    return read_file(now / file);
}

// The files that today's templates render differently from the earlier tree, or add, in byte
// order: what an update of an unedited project changes.
std::vector<std::string> changed_files(bool pypi) {
    TempDir earlier, now;
    render_earlier(earlier.path(), pypi);
    std::vector<std::string> written, changed;
    EXPECT_TRUE(render_tree(template_root(), now.path(), answers(pypi), written).ok());
    for (const std::string& file : written) {
        if (read_file_if_exists(earlier / file) != read_file(now / file)) changed.push_back(file);
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

std::vector<std::string> strings(const Json& array) {
    return array.get<std::vector<std::string>>();
}

class UpdateCommand : public ScaffoldRun {
protected:
    void SetUp() override { write_git_identity(home(), "Ada Lovelace", "ada@example.com"); }

    std::string project() const { return work("demo"); }

    // The earlier render of demo, committed the way `new` committed it then; before_commit
    // may change the render first.
    void make_earlier(bool pypi,
                      const std::function<void(const std::string&)>& before_commit = {}) {
        render_earlier(project(), pypi);
        if (before_commit) before_commit(project());
        git(project(), {"init", "-q", "-b", "main"});
        git(project(), {"add", "-A"});
        git(project(), {"commit", "-q", "-m", "chore: scaffold demo with tarnwick"});
    }

    // A paragraph in README.md, a function in lib.rs, a file of the user's own, and
    // tests/conformance.rs (which the templates did not change) removed.
    void edit_and_commit() {
        append(project() + "/README.md", kParagraph);
        append(project() + "/src/lib.rs", kFunction);
        write_file(project() + "/NOTES.md", "notes\n");
        std::filesystem::remove(project() + "/tests/conformance.rs");
        commit_all("my edits");
    }

    void append(const std::string& path, const std::string& text) {
        write_file(path, read_file(path) + text);
    }

    void commit_all(const std::string& message) {
        git(project(), {"add", "-A"});
        git(project(), {"commit", "-q", "-m", message});
    }

    std::string rev(const std::string& what, const std::string& dir = "") {
        std::string out = git(dir.empty() ? project() : dir, {"rev-parse", what});
        return out.substr(0, out.find('\n'));
    }

    // Everything a refused or dry run must leave alone; the index file is read before any git
    // run here could refresh it. `git merge --abort` restores all but the objects the merge
    // brought, and it rewrites the index file.
    std::string repo_state(bool merged = false) {
        std::string state = merged ? "" : read_file(project() + "/.git/index");
        for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
                 {"rev-parse", "HEAD"},
                 {"symbolic-ref", "HEAD"},
                 {"for-each-ref"},
                 {"ls-files", "-s"},
                 {"status", "--porcelain", "--untracked-files=all"},
                 {"diff-index", "-p", "HEAD"}}) {  // `git diff` would refresh the index
            args.insert(args.begin(), "--no-optional-locks");
            state += git(project(), args);
        }
        if (!merged) state += git(project(), {"count-objects", "-v"});
        return state;
    }

    Json update_json(const std::vector<std::string>& extra = {}, const std::string& tools = "") {
        std::vector<std::string> args = {"update", "demo", "-o", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto r = tools.empty() ? tarnwick(args) : tarnwick(args, tools);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.exit_code == 0 ? Json::parse(r.out) : Json::object();
    }
};

TEST_F(UpdateCommand, KeepsEveryEditAndMatchesAFreshRenderElsewhere) {
    make_earlier(true);
    const std::string root = rev("HEAD");
    edit_and_commit();
    const std::string edited = rev("HEAD");

    Json report = update_json();
    EXPECT_EQ(strings(report["files"]), changed_files(true));
    EXPECT_EQ(strings(report["conflicts"]), std::vector<std::string>{});
    EXPECT_EQ(strings(report["notes"]), std::vector<std::string>{});
    EXPECT_FALSE(report["current"].get<bool>());
    EXPECT_FALSE(report["dry_run"].get<bool>());
    EXPECT_TRUE(report["from"].is_null());
    EXPECT_EQ(report["to"], "0.1.6");
    EXPECT_EQ(report["project"], "demo");
    EXPECT_EQ(report["base"], root);
    EXPECT_EQ(report["commit"], rev("HEAD"));
    EXPECT_EQ(report["render"], rev("HEAD^2"));
    // The user's commit, then the pristine render on top of the earlier one.
    EXPECT_EQ(rev("HEAD^1"), edited);
    EXPECT_EQ(rev("HEAD^2^"), root);
    EXPECT_EQ(git(project(),
                  {"log", "-1", "--format=%(trailers:key=Tarnwick-Render,valueonly)", "HEAD^2"}),
              "0.1.6\n\n");
    EXPECT_EQ(git(project(), {"status", "--porcelain", "--untracked-files=all"}), "");

    TempDir fresh;
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(template_root(), fresh.path(), answers(true), written).ok());
    for (const std::string& file : written) {
        SCOPED_TRACE(file);
        std::string expected = read_file(fresh / file);
        if (file == "tests/conformance.rs") {
            EXPECT_FALSE(exists(project() + "/" + file));  // deleted, and the template kept it
            continue;
        }
        if (file == "README.md") expected += kParagraph;
        if (file == "src/lib.rs") expected += kFunction;
        EXPECT_EQ(read_file(project() + "/" + file), expected);
    }
    EXPECT_EQ(read_file(project() + "/NOTES.md"), "notes\n");
}

TEST_F(UpdateCommand, ASecondUpdateChangesNothingHereOrInAFreshClone) {
    make_earlier(true);
    edit_and_commit();
    const std::string render = update_json()["render"];
    const std::string head = rev("HEAD");

    auto again = tarnwick({"update", "demo", "-o", "text"});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(again.out, "demo already matches the templates of tarnwick 0.1.6: nothing to do\n");
    EXPECT_EQ(rev("HEAD"), head);

    // The base comes from history alone, so a clone knows it too.
    git(work(), {"clone", "-q", project(), work("clone")});
    auto r = tarnwick({"update", "clone", "-o", "json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    Json report = Json::parse(r.out);
    EXPECT_TRUE(report["current"].get<bool>());
    EXPECT_TRUE(report["commit"].is_null());
    EXPECT_EQ(report["base"], render);
    EXPECT_EQ(report["from"], "0.1.6");
    EXPECT_EQ(rev("HEAD", work("clone")), head);
}

TEST_F(UpdateCommand, AFreshCloneUpdatesLikeTheOriginal) {
    make_earlier(true);
    edit_and_commit();
    git(work(), {"clone", "-q", project(), work("clone")});
    Json original = update_json();
    auto r = tarnwick({"update", "clone", "-o", "json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    Json clone = Json::parse(r.out);
    EXPECT_EQ(clone["files"], original["files"]);
    EXPECT_EQ(clone["base"], original["base"]);
    EXPECT_EQ(rev("HEAD^{tree}", work("clone")), rev("HEAD^{tree}"));
    EXPECT_EQ(rev("HEAD^2^{tree}", work("clone")), rev("HEAD^2^{tree}"));
}

TEST_F(UpdateCommand, DryRunReportsAndChangesNothing) {
    struct Row {
        const char* name;
        bool conflicting;
        std::vector<std::string> conflicts;
    };
    for (const Row& row : {Row{"clean", false, {}},
                           Row{"conflicting", true, {".github/workflows/ci.yml", "README.md"}}}) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        make_earlier(true);
        edit_and_commit();
        if (row.conflicting) {
            const std::string readme = read_file(project() + "/README.md");
            write_file(project() + "/README.md", readme.substr(0, readme.find("## Install")) +
                                                     "## Install it" +
                                                     readme.substr(readme.find("## Install") + 10));
            std::filesystem::remove(project() + "/.github/workflows/ci.yml");
            commit_all("conflicting edits");
        }
        // A file whose time changed but whose content did not: a status that refreshed the
        // index would rewrite it.
        std::filesystem::last_write_time(
            project() + "/LICENSE",
            std::filesystem::last_write_time(project() + "/LICENSE") + std::chrono::hours(1));
        const std::string before = repo_state();
        Json report = update_json({"--dry-run"});
        EXPECT_EQ(repo_state(), before);
        EXPECT_TRUE(report["dry_run"].get<bool>());
        EXPECT_EQ(strings(report["files"]), changed_files(true));
        EXPECT_EQ(strings(report["conflicts"]), row.conflicts);
        EXPECT_TRUE(report["commit"].is_null());
        EXPECT_TRUE(report["render"].is_null());
    }
}

TEST_F(UpdateCommand, AConflictIsLeftAsGitLeavesItUntilAbortOrCommit) {
    make_earlier(true);
    const std::string readme = read_file(project() + "/README.md");
    const auto at = readme.find("## Install\n");
    ASSERT_NE(at, std::string::npos);
    write_file(project() + "/README.md",
               readme.substr(0, at) + "## Install it" + readme.substr(at + 10));
    std::filesystem::remove(project() + "/.github/workflows/ci.yml");
    commit_all("my headings");
    const std::string before = repo_state(true);
    const std::string edited_readme = read_file(project() + "/README.md");

    auto r = tarnwick({"update", "demo"});
    EXPECT_EQ(r.exit_code, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":4,\"hint\":\"resolve the conflicted files and `git "
              "commit` to finish, or `git merge --abort` to undo\",\"kind\":\"conflict\","
              "\"message\":\"the update of demo stopped on conflicts in "
              ".github/workflows/ci.yml, README.md; the merge is left in progress: resolve them "
              "and commit to finish, or run `git merge --abort` to return to your commit\"}}\n");
    EXPECT_EQ(git(project(), {"diff", "--name-only", "--diff-filter=U"}),
              ".github/workflows/ci.yml\nREADME.md\n");
    EXPECT_NE(read_file(project() + "/README.md").find("<<<<<<< HEAD\n## Install it\n"),
              std::string::npos);

    auto refused = tarnwick({"update", "demo"});
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_EQ(refused.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: a merge is in "
              "progress in demo; finish it with `git commit` or undo it with `git merge "
              "--abort`, then run `tarnwick update` again\"}}\n");

    git(project(), {"merge", "--abort"});
    EXPECT_EQ(repo_state(true), before);
    EXPECT_EQ(read_file(project() + "/README.md"), edited_readme);

    // Resolving and committing finishes the update: the next one has nothing to do.
    EXPECT_EQ(tarnwick({"update", "demo"}).exit_code, 4);
    git(project(), {"checkout", "--theirs", "README.md"});
    git(project(), {"rm", "-q", ".github/workflows/ci.yml"});
    git(project(), {"commit", "-q", "-a", "--no-edit"});
    EXPECT_TRUE(update_json()["current"].get<bool>());
}

TEST_F(UpdateCommand, RefusalsChangeNothing) {
    struct Row {
        const char* name;
        std::function<void()> arrange;
        std::string message;
    };
    const std::string again = ", then run `tarnwick update` again";
    const std::vector<Row> rows = {
        {"unstaged change",
         [&] {
             make_earlier(true);
             append(project() + "/src/lib.rs", kFunction);
         },
         "git: demo has uncommitted changes (src/lib.rs); commit or stash them" + again},
        {"staged new file",
         [&] {
             make_earlier(true);
             write_file(project() + "/NEW.md", "x\n");
             git(project(), {"add", "NEW.md"});
         },
         "git: demo has uncommitted changes (NEW.md); commit or stash them" + again},
        {"foreign repository",
         [&] {
             write_file(project() + "/README.md", "mine\n");
             git(project(), {"init", "-q"});
             commit_all("Initial commit");
         },
         "git: no tarnwick render in the history of demo: no commit has a `Tarnwick-Render:` "
         "trailer and no root commit reads \\\"chore: scaffold NAME with tarnwick\\\""},
        {"no commits yet",
         [&] {
             write_file(project() + "/README.md", "mine\n");
             git(project(), {"init", "-q"});
         },
         "git: demo has no commits; there is no tarnwick render to update"},
        {"not a repository", [&] { write_file(project() + "/README.md", "mine\n"); },
         "git: demo is not in a git work tree; `tarnwick update` works in a project that "
         "`tarnwick new` made"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        row.arrange();
        const bool repository = exists(project() + "/.git");
        const auto before = read_file_if_exists(project() + "/.git/index");
        const std::string head = repository ? git(project(), {"for-each-ref"}) : "";
        auto r = tarnwick({"update", "demo"});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"" +
                             row.message + "\"}}\n");
        if (repository) {
            EXPECT_EQ(read_file_if_exists(project() + "/.git/index"), before);
            EXPECT_EQ(git(project(), {"for-each-ref"}), head);
        }
        EXPECT_EQ(read_file(project() + "/README.md").empty(), false);
    }
}

TEST_F(UpdateCommand, ANoPypiProjectStaysWithoutPypi) {
    make_earlier(false);
    edit_and_commit();
    Json report = update_json();
    EXPECT_EQ(strings(report["files"]), changed_files(false));
    EXPECT_FALSE(exists(project() + "/pyproject.toml"));
    EXPECT_EQ(git(project(), {"ls-files", "pyproject.toml"}), "");
    TempDir fresh;
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(template_root(), fresh.path(), answers(false), written).ok());
    EXPECT_EQ(read_file(project() + "/.github/workflows/release.yml"),
              read_file(fresh / ".github/workflows/release.yml"));
    EXPECT_EQ(read_file(project() + "/.github/workflows/release.yml").find("maturin"),
              std::string::npos);
}

TEST_F(UpdateCommand, CargoLockFromTheFirstCommitIsKeptOrRefreshed) {
    // A stand-in cargo whose generate-lockfile writes a lock of its own.
    const std::string with_cargo = [&] {
        std::vector<std::string> tools = shell_tools();
        tools.push_back("git");
        const std::string dir = tool_dir(tools);
        // Writes the lock beside the manifest that --manifest-path names.
        write_file(dir + "/cargo",
                   "#!/bin/sh\n[ \"$1\" = generate-lockfile ] && [ \"$2\" = --manifest-path ] && "
                   "printf '# refreshed\\n' > \"${3%/Cargo.toml}/Cargo.lock\"\nexit 0\n");
        ::chmod((dir + "/cargo").c_str(), 0755);
        return dir;
    }();
    const std::string kLock = "# This file is automatically @generated by Cargo.\nversion = 4\n";
    const std::string kNote =
        "Cargo.lock could not be refreshed for the new Cargo.toml (no cargo, or the crates are "
        "neither cached nor reachable); it stays as it was: run `cargo generate-lockfile` and "
        "commit it";
    struct Row {
        const char* name;
        bool older_manifest;  // the earlier Cargo.toml differs from today's
        bool cargo;
        std::string lock_after;
        bool lock_changed;
        std::vector<std::string> notes;
    };
    const std::vector<Row> rows = {
        {"same manifest, no cargo", false, false, kLock, false, {}},
        {"same manifest, cargo is not run for the lock", false, true, kLock, false, {}},
        {"new manifest, no cargo", true, false, kLock, false, {kNote}},
        {"new manifest, lock refreshed", true, true, "# refreshed\n", true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        make_earlier(true, [&](const std::string& dir) {
            write_file(dir + "/Cargo.lock", kLock);
            // The manifest as today's templates write it, or an older one.
            write_file(dir + "/Cargo.toml", render_now("Cargo.toml", true));
            if (row.older_manifest) {
                const std::string toml = read_file(dir + "/Cargo.toml");
                const auto at = toml.find("rust-version = \"1.90\"");
                write_file(dir + "/Cargo.toml",
                           toml.substr(0, at) + "rust-version = \"1.85\"" + toml.substr(at + 21));
            }
        });
        edit_and_commit();
        Json report = update_json({}, row.cargo ? with_cargo : "");
        EXPECT_EQ(read_file(project() + "/Cargo.lock"), row.lock_after);
        EXPECT_EQ(git(project(), {"ls-files", "Cargo.lock"}), "Cargo.lock\n");
        EXPECT_EQ(strings(report["notes"]), row.notes);
        std::vector<std::string> files = changed_files(true);
        std::erase(files, "Cargo.toml");
        if (row.older_manifest) files.push_back("Cargo.toml");
        if (row.lock_changed) files.push_back("Cargo.lock");
        std::sort(files.begin(), files.end());
        EXPECT_EQ(strings(report["files"]), files);
    }
}

TEST_F(UpdateCommand, RunsFromInsideTheProjectWithATextReport) {
    make_earlier(true);
    edit_and_commit();
    RunOptions options;
    options.cwd = project() + "/src";
    auto r = tarnwick({"update", "-o", "text"}, options);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string expected =
        "Updated . from an earlier tarnwick to the templates of tarnwick 0.1.6: " +
        std::to_string(changed_files(true).size()) + " files changed, merge commit " +
        rev("HEAD").substr(0, 12) + "\nChanged:\n";
    for (const std::string& file : changed_files(true)) expected += "  - " + file + "\n";
    EXPECT_EQ(r.out, expected);
}

}  // namespace

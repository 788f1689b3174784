// `tarnwick update` end to end with real git. Two kinds of project: one made by an earlier
// tarnwick (the template set of 0.1.6, rendered by the same rules and committed as `new`
// committed it then, without a record), and one made by today's `new`, which records its set
// and answers in .tarnwick.toml. Then their users edit, amend, squash, rebase, clone and move.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "answers/render.hpp"
#include "answers/template_tree.hpp"
#include "answers/template_values.hpp"
#include "core/json.hpp"
#include "core/text.hpp"
#include "scaffold_fixture.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr const char* kParagraph = "\nA paragraph of my own.\n";
constexpr const char* kFunction = "\npub fn mine() -> u8 {\n    7\n}\n";
constexpr const char* kTarget = "\nmine:\n\techo mine\n";

Answers answers(bool pypi) {
    return demo_answers(pypi);
}

// A set rendered into dir with the demo answers, as `new` rendered it then.
void render_set(const std::string& identity, const std::string& dir, bool pypi,
                const Answers& given = answers(true)) {
    const TemplateSet* set = find_template_set(identity);
    ASSERT_NE(set, nullptr);
    Answers a = given;
    a.pypi = pypi;
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(*set->root, dir, a, identity, written).ok());
}

// The files that today's set renders differently from the 0.1.6 set, or adds, in byte order:
// what an update of an unedited project changes.
std::vector<std::string> changed_files(bool pypi) {
    TempDir earlier, now;
    render_set("0.1.6", earlier.path(), pypi);
    render_set(std::string(template_sets().front().identity), now.path(), pypi);
    std::vector<std::string> changed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(now.path())) {
        if (!entry.is_regular_file()) continue;
        const std::string file = entry.path().lexically_relative(now.path()).string();
        if (read_file_if_exists(earlier / file) != read_file(now / file)) changed.push_back(file);
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

std::vector<std::string> strings(const Json& array) {
    return array.get<std::vector<std::string>>();
}

std::string conflicts_of(const Json& report) {
    return report["conflicts"].dump();
}

class UpdateCommand : public ScaffoldRun {
protected:
    void SetUp() override { write_git_identity(home(), "Ada Lovelace", "ada@example.com"); }

    std::string project() const { return work("demo"); }

    // The 0.1.6 render of demo, committed the way `new` committed it then; before_commit
    // may change the render first.
    void make_earlier(bool pypi, const std::function<void(const std::string&)>& before_commit = {},
                      const std::string& dir = "") {
        const std::string at = dir.empty() ? project() : dir;
        render_set("0.1.6", at, pypi);
        if (before_commit) before_commit(at);
        git(at, {"init", "-q", "-b", "main"});
        git(at, {"add", "-A"});
        git(at, {"commit", "-q", "-m", "chore: scaffold demo with tarnwick"});
    }

    // demo as today's `new` makes it, with its record.
    void make_today(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {
            "new",           "demo",         "--owner",  "acme",
            "--description", "A demo tool.", "--author", "Ada Lovelace <ada@example.com>"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto r = tarnwick(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
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

    void commit_all(const std::string& message, const std::string& dir = "") {
        git(dir.empty() ? project() : dir, {"add", "-A"});
        git(dir.empty() ? project() : dir, {"commit", "-q", "-m", message});
    }

    std::string rev(const std::string& what, const std::string& dir = "") {
        std::string out = git(dir.empty() ? project() : dir, {"rev-parse", what});
        return out.substr(0, out.find('\n'));
    }

    // Everything a refused or dry run must leave alone; the index file is read before any git
    // run here could refresh it, and every object's file with its time.
    std::string repo_state(bool merged = false, const std::string& dir = "") {
        const std::string at = dir.empty() ? project() : dir;
        std::string state = merged ? "" : read_file_if_exists(at + "/.git/index").value_or("-");
        for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
                 {"rev-parse", "HEAD"},
                 {"symbolic-ref", "HEAD"},
                 {"for-each-ref"},
                 {"ls-files", "-s"},
                 {"status", "--porcelain", "--untracked-files=all", "--ignored"},
                 {"diff-index", "-p", "HEAD"}}) {  // `git diff` would refresh the index
            std::vector<std::string> full = {"-C", at, "--no-optional-locks"};
            full.insert(full.end(), args.begin(), args.end());
            // Some fail on a detached or unborn HEAD; what they say is part of the state.
            auto r = run_program("git", full, default_env(home()), {});
            state += r.out + r.err + std::to_string(r.exit_code) + "\n";
        }
        if (!merged) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(at + "/.git")) {
                const auto mtime = std::filesystem::last_write_time(entry.path());
                state += entry.path().string() + " " +
                         std::to_string(static_cast<long long>(mtime.time_since_epoch().count())) +
                         "\n";
            }
        }
        return state;
    }

    RunResult update(const std::vector<std::string>& extra = {}, const std::string& tools = "",
                     const std::string& path = "demo") {
        std::vector<std::string> args = {"update", path, "-o", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return tools.empty() ? tarnwick(args) : tarnwick(args, tools);
    }

    Json update_json(const std::vector<std::string>& extra = {}, const std::string& tools = "",
                     const std::string& path = "demo") {
        auto r = update(extra, tools, path);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.exit_code == 0 ? Json::parse(r.out) : Json::object();
    }

    // git and the shell tools, plus what is named.
    std::string tools_with(const std::vector<std::string>& more) {
        std::vector<std::string> tools = shell_tools();
        tools.push_back("git");
        tools.insert(tools.end(), more.begin(), more.end());
        return tool_dir(tools);
    }
};

TEST_F(UpdateCommand, AnAdoptedProjectKeepsEveryEditAndMatchesAFreshRender) {
    make_earlier(true);
    const std::string root = rev("HEAD");
    edit_and_commit();
    const std::string edited = rev("HEAD");
    // A file the merge changes, touched but not edited: the update must not read it as an edit.
    std::filesystem::last_write_time(
        project() + "/README.md",
        std::filesystem::last_write_time(project() + "/README.md") + std::chrono::hours(1));

    Json report = update_json();
    EXPECT_EQ(strings(report["files"]), changed_files(true));
    EXPECT_EQ(conflicts_of(report), "[]");
    EXPECT_EQ(strings(report["notes"]), std::vector<std::string>{});
    EXPECT_FALSE(report["current"].get<bool>());
    EXPECT_EQ(report["from"], "0.1.6");
    EXPECT_EQ(report["to"], "0.2.0");
    EXPECT_EQ(report["base"],
              "the first commit " + root.substr(0, 12) + ", made by tarnwick 0.1.6");
    EXPECT_EQ(report["answers"]["owner"], "acme");
    EXPECT_EQ(report["answers"]["tap"], "acme/homebrew-tap");
    EXPECT_EQ(report["commit"], rev("HEAD"));
    // One ordinary commit on the user's.
    EXPECT_EQ(git(project(), {"log", "-1", "--format=%P %s"}),
              edited + " chore: update demo with tarnwick 0.2.0\n");
    EXPECT_EQ(git(project(), {"status", "--porcelain", "--untracked-files=all"}), "");

    TempDir fresh;
    render_set("0.2.0", fresh.path(), true);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(fresh.path())) {
        if (!entry.is_regular_file()) continue;
        const std::string file = entry.path().lexically_relative(fresh.path()).string();
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
    update_json();
    const std::string head = rev("HEAD");

    auto again = tarnwick({"update", "demo", "-o", "text"});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(again.out,
              "demo already matches the templates of tarnwick 0.2.0 with its answers: nothing to "
              "do\n");
    EXPECT_EQ(rev("HEAD"), head);

    git(work(), {"clone", "-q", project(), work("clone")});
    Json report = update_json({}, "", "clone");
    EXPECT_TRUE(report["current"].get<bool>());
    EXPECT_TRUE(report["commit"].is_null());
    EXPECT_EQ(report["base"], ".tarnwick.toml");
    EXPECT_EQ(rev("HEAD", work("clone")), head);
}

TEST_F(UpdateCommand, AFreshCloneUpdatesLikeTheOriginal) {
    make_earlier(true);
    edit_and_commit();
    git(work(), {"clone", "-q", project(), work("clone")});
    Json original = update_json();
    Json clone = update_json({}, "", "clone");
    EXPECT_EQ(clone["files"], original["files"]);
    EXPECT_EQ(clone["base"], original["base"]);
    EXPECT_EQ(rev("HEAD^{tree}", work("clone")), rev("HEAD^{tree}"));
}

// What users do to history after `new` or an update: none of it moves the base.
TEST_F(UpdateCommand, HistoryRewritesNeverLoseAnEdit) {
    // A README paragraph and a second edit where the templates of 0.2.0 change nothing nearby.
    bool earlier_row = false;
    auto second_edit = [&] {
        if (earlier_row) {
            append(project() + "/src/lib.rs", kFunction);
        } else {
            append(project() + "/Makefile", kTarget);
        }
    };
    struct Row {
        const char* name;
        bool earlier;  // made by 0.1.6 (adopted) rather than today's `new`
        std::function<void()> rewrite;
    };
    const std::vector<Row> rows = {
        {"today's project, first commit amended", false,
         [&] {
             append(project() + "/README.md", kParagraph);
             second_edit();
             git(project(), {"commit", "-q", "-a", "--amend", "--no-edit"});
         }},
        {"today's project made with --no-git, committed by hand", false,
         [&] {
             std::filesystem::remove_all(project() + "/.git");
             append(project() + "/README.md", kParagraph);
             second_edit();
             git(project(), {"init", "-q", "-b", "main"});
             commit_all("Initial import");
         }},
        {"earlier project imported under another first message", true,
         [&] {
             std::filesystem::remove_all(project() + "/.git");
             git(project(), {"init", "-q", "-b", "main"});
             commit_all("Import demo");
             append(project() + "/README.md", kParagraph);
             second_edit();
             commit_all("my edits");
         }},
        {"a contributor's commit with a render trailer", true,
         [&] {
             append(project() + "/README.md", kParagraph);
             second_edit();
             git(project(), {"commit", "-q", "-a", "-m", "docs\n\nTarnwick-Render: 0.1.6"});
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        earlier_row = row.earlier;
        if (row.earlier) {
            make_earlier(true);
        } else {
            make_today();
        }
        row.rewrite();
        // Something to merge for today's project too: a new owner.
        Json report = update_json({"--owner", "kestrel-labs"});
        EXPECT_EQ(conflicts_of(report), "[]");
        const std::string readme = read_file(project() + "/README.md");
        EXPECT_NE(readme.find(kParagraph), std::string::npos);
        EXPECT_NE(readme.find("kestrel-labs/demo"), std::string::npos);
        EXPECT_NE(read_file(project() + (row.earlier ? "/src/lib.rs" : "/Makefile"))
                      .find(row.earlier ? kFunction : kTarget),
                  std::string::npos);
        EXPECT_EQ(git(project(), {"status", "--porcelain"}), "");
        EXPECT_TRUE(update_json()["current"].get<bool>());
    }
}

TEST_F(UpdateCommand, SquashedAndRebasedUpdatesLeaveNothingToDo) {
    struct Row {
        const char* name;
        std::function<void()> fold;
    };
    const std::vector<Row> rows = {
        {"squash-merged from a branch",
         [&] {
             git(project(), {"switch", "-q", "-c", "up"});
             update_json();
             git(project(), {"switch", "-q", "main"});
             git(project(), {"merge", "-q", "--squash", "up"});
             git(project(), {"commit", "-q", "-m", "update, squashed"});
         }},
        {"rebased like `git pull --rebase`",
         [&] {
             update_json();
             git(project(), {"rebase", "-q", "HEAD~1"});
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        make_earlier(true);
        edit_and_commit();
        row.fold();
        EXPECT_NE(read_file(project() + "/README.md").find(kParagraph), std::string::npos);
        const std::string head = rev("HEAD");
        Json again = update_json();
        EXPECT_TRUE(again["current"].get<bool>());
        EXPECT_EQ(rev("HEAD"), head);
        EXPECT_NE(read_file(project() + "/README.md").find(kParagraph), std::string::npos);
    }
}

TEST_F(UpdateCommand, AnAmendedEarlierRootIsRefusedUntilItsSetIsNamed) {
    make_earlier(true);
    append(project() + "/README.md", kParagraph);
    git(project(), {"commit", "-q", "-a", "--amend", "--no-edit"});
    const std::string before = repo_state();
    auto refused = update();
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("is not what any tarnwick release renders"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("`tarnwick update --from VERSION` (one of 0.2.0, 0.1.6+4d44ce2, "
                               "0.1.6)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(repo_state(), before);

    // A set that did not make the first commit is taken on the user's word, and said so.
    Json doubted = update_json({"--from", "0.2.0", "--dry-run"});
    EXPECT_EQ(strings(doubted["notes"]),
              std::vector<std::string>{"--from 0.2.0 is not borne out by the first commit " +
                                       rev("HEAD").substr(0, 12) +
                                       ", whose files are not the ones that set renders: the base "
                                       "is taken on your word"});

    Json report = update_json({"--from", "0.1.6"});
    EXPECT_EQ(report["base"], "--from 0.1.6");
    EXPECT_EQ(strings(report["notes"]), std::vector<std::string>{});
    EXPECT_EQ(strings(report["files"]), changed_files(true));
    EXPECT_NE(read_file(project() + "/README.md").find(kParagraph), std::string::npos);

    auto unknown = update({"--from", "0.0.9"});
    EXPECT_EQ(unknown.exit_code, 3);
    EXPECT_NE(unknown.err.find("invalid --from \\\"0.0.9\\\": name a template set this tarnwick "
                               "knows: 0.2.0, 0.1.6+4d44ce2, 0.1.6"),
              std::string::npos)
        << unknown.err;
}

// The Rust files of a first commit went through the rustfmt of that day. A stand-in rustfmt
// that drops trailing blank lines from its standard input stands for today's: with it, a first
// commit that differs from the render only there is adopted; without it, it is not.
TEST_F(UpdateCommand, AdoptionComparesRustFilesAsTodaysRustfmtFormatsThem) {
    const std::string with_fmt = [&] {
        const std::string dir = tools_with({});
        write_file(dir + "/rustfmt", "#!/bin/sh\nprintf '%s\\n' \"$(cat)\"\n");
        ::chmod((dir + "/rustfmt").c_str(), 0755);
        return dir;
    }();
    make_earlier(true, [&](const std::string& dir) { append(dir + "/src/main.rs", "\n\n"); });
    auto refused = update();
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_NE(refused.err.find("is not what any tarnwick release renders"), std::string::npos);
    Json report = update_json({}, with_fmt);
    EXPECT_EQ(report["from"], "0.1.6");
    EXPECT_EQ(conflicts_of(report), "[]");
}

// doctor, a dry run and an update run nothing the project names and write nothing outside
// it, with the real cargo and rustfmt, started from inside the project: a cargo alias of `fmt`
// to the project's own program (which would build into tools/x/target and leave a marker), a
// module of the first commit whose #[path] leads to another repository's file, and a workspace
// manifest in $TMPDIR, which must not turn the formatting of the renders off (the first commit
// differs from the render only as rustfmt formats, so it is adopted only when formatting works).
TEST_F(UpdateCommand, RunsNothingOfTheProjectAndWritesNothingOutsideIt) {
    const std::string tools = tools_with({"cargo", "cargo-fmt", "rustfmt", "rustc", "rustup"});
    if (::access((tools + "/cargo").c_str(), X_OK) != 0 ||
        ::access((tools + "/rustfmt").c_str(), X_OK) != 0) {
        GTEST_SKIP() << "cargo and rustfmt are not installed";
    }
    const std::string marker = work("MARKER");
    const std::string victim = work("elsewhere/victim.rs");
    const std::string unformatted = "fn   victim( ) {}\n";
    const std::string tmpdir = work("tmp");
    write_file(tmpdir + "/Cargo.toml", "[workspace]\n");
    struct Row {
        const char* what;
        std::function<void(const std::string&)> first_commit;  // edits of the first commit
        std::function<void(const std::string&)> later;         // a later commit's
        bool workspace_in_tmpdir;
        int update_exit;  // of the dry run and of the update
    };
    const std::vector<Row> rows = {
        {"a cargo alias of fmt",
         {},
         [&](const std::string& dir) {
             write_file(dir + "/.cargo/config.toml",
                        "[alias]\nfmt = [\"run\", \"--manifest-path\", \"tools/x/Cargo.toml\", "
                        "\"--\"]\n");
             write_file(dir + "/tools/x/Cargo.toml",
                        "[package]\nname = \"x\"\nversion = \"0.1.0\"\nedition = "
                        "\"2021\"\n[workspace]\n");
             write_file(dir + "/tools/x/src/main.rs", "fn main() {\n    std::fs::write(\"" +
                                                          marker + "\", \"ran\").unwrap();\n}\n");
         },
         false,
         0},
        {"a #[path] module outside the project",
         [&](const std::string& dir) {
             append(dir + "/src/lib.rs", "\n#[path = \"" + victim + "\"]\nmod victim;\n");
         },
         {},
         false,
         2},
        {"a workspace manifest in TMPDIR",
         [&](const std::string& dir) { append(dir + "/src/main.rs", "\n\n"); },
         {},
         true,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(project());
        write_file(victim, unformatted);
        make_earlier(true, row.first_commit);
        if (row.later) {
            row.later(project());
            commit_all("tools");
        }
        RunOptions options;
        options.cwd = project();
        options.env = {{"TARNWICK_CRATES_INDEX_URL", "http://127.0.0.1:1"},
                       {"TARNWICK_PYPI_URL", "http://127.0.0.1:1"}};
        if (row.workspace_in_tmpdir) options.env["TMPDIR"] = tmpdir;
        auto untouched = [&] {
            EXPECT_FALSE(exists(marker));
            EXPECT_FALSE(exists(project() + "/tools/x/target"));
            EXPECT_EQ(read_file(victim), unformatted);
        };
        const std::string before = repo_state();
        auto doctor = tarnwick({"doctor", "-o", "json"}, tools, options);
        EXPECT_EQ(doctor.exit_code, 0) << doctor.err;
        untouched();
        auto dry = tarnwick({"update", "--dry-run", "-o", "json"}, tools, options);
        EXPECT_EQ(dry.exit_code, row.update_exit) << dry.err;
        untouched();
        EXPECT_EQ(repo_state(), before);
        auto real = tarnwick({"update", "-o", "json"}, tools, options);
        EXPECT_EQ(real.exit_code, row.update_exit) << real.err;
        untouched();
    }
}

TEST_F(UpdateCommand, AShallowCloneNeedsItsRecordOrItsFirstCommit) {
    make_earlier(true);
    edit_and_commit();
    git(work(), {"clone", "-q", "--depth", "1", "file://" + project(), work("shallow")});
    const std::string before = repo_state(false, work("shallow"));
    auto refused = update({}, "", "shallow");
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_NE(refused.err.find("is a shallow clone"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("`git fetch --unshallow`"), std::string::npos) << refused.err;
    EXPECT_EQ(repo_state(false, work("shallow")), before);

    // Once the project records its base, history does not matter at all.
    update_json();
    std::filesystem::remove_all(work("shallow"));
    git(work(), {"clone", "-q", "--depth", "1", "file://" + project(), work("shallow")});
    Json report = update_json({"--owner", "kestrel-labs"}, "", "shallow");
    EXPECT_EQ(conflicts_of(report), "[]");
    EXPECT_NE(read_file(work("shallow/README.md")).find(kParagraph), std::string::npos);
}

// Also where the directory's name reads as git's pathspec magic (":demo"): it is a path.
TEST_F(UpdateCommand, AProjectInASubdirectoryChangesNothingOutsideIt) {
    // The repository's root may be a tarnwick project itself, with a record of its own.
    auto made = tarnwick({"new", "outer", "--owner", "acme"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string outer_record = read_file(work("outer/.tarnwick.toml"));
    struct Row {
        std::string sub;
        bool root_record;
    };
    for (const Row& row :
         {Row{"tools/demo", false}, Row{":demo", false}, Row{"tools/demo", true}}) {
        const std::string& sub = row.sub;
        SCOPED_TRACE(sub + (row.root_record ? " below a record" : ""));
        const std::string repo = work("monorepo");
        std::filesystem::remove_all(repo);
        std::filesystem::create_directories(repo + "/tools");
        if (row.root_record) write_file(repo + "/.tarnwick.toml", outer_record);
        write_file(repo + "/README.md", "# The monorepo\n");
        write_file(repo + "/Makefile", "all:\n\ttrue\n");
        git(repo, {"init", "-q", "-b", "main"});
        commit_all("monorepo", repo);
        render_set("0.1.6", repo + "/" + sub, true);
        commit_all("add demo", repo);
        append(repo + "/" + sub + "/README.md", kParagraph);
        commit_all("edit demo", repo);
        const std::string before = rev("HEAD", repo);

        RunOptions inside;
        inside.cwd = repo + "/" + sub + "/src";
        auto r = tarnwick({"update", "-o", "json"}, inside);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        Json report = Json::parse(r.out);
        EXPECT_EQ(strings(report["files"]), changed_files(true));
        EXPECT_EQ(
            git(repo, {"diff", "--name-only", before, "HEAD", "--", ":(exclude,literal)" + sub}),
            "");
        EXPECT_EQ(read_file(repo + "/README.md"), "# The monorepo\n");
        EXPECT_TRUE(exists(repo + "/" + sub + "/.tarnwick.toml"));
        EXPECT_NE(read_file(repo + "/" + sub + "/README.md").find(kParagraph), std::string::npos);
        EXPECT_EQ(git(repo, {"status", "--porcelain", "--untracked-files=all"}), "");
    }
}

TEST_F(UpdateCommand, ChangedAnswersReachEveryFileAndTheRecord) {
    make_today();
    Json report = update_json({"--owner", "kestrel-labs", "--description", "Counts kestrels."});
    EXPECT_EQ(report["answers"]["owner"], "kestrel-labs");
    EXPECT_EQ(report["answers"]["tap"], "kestrel-labs/homebrew-tap");
    for (const char* file : {"README.md", ".github/workflows/release.yml", "Cargo.toml"}) {
        SCOPED_TRACE(file);
        const std::string text = read_file(project() + "/" + file);
        EXPECT_NE(text.find("kestrel-labs"), std::string::npos);
        EXPECT_EQ(text.find("acme/"), std::string::npos);
    }
    EXPECT_NE(read_file(project() + "/.github/workflows/release.yml")
                  .find("|| 'kestrel-labs/homebrew-tap' }}"),
              std::string::npos);
    const std::string record = read_file(project() + "/.tarnwick.toml");
    EXPECT_NE(record.find("owner = \"kestrel-labs\"\n"), std::string::npos);
    EXPECT_NE(record.find("description = \"Counts kestrels.\"\n"), std::string::npos);

    // A tap of its own stays when the owner moves again; PyPI goes.
    update_json({"--tap", "birds/homebrew-nest"});
    Json moved = update_json({"--owner", "acme", "--no-pypi"});
    EXPECT_EQ(moved["answers"]["tap"], "birds/homebrew-nest");
    EXPECT_NE(read_file(project() + "/README.md").find("brew install birds/nest/demo"),
              std::string::npos);
    EXPECT_FALSE(exists(project() + "/pyproject.toml"));
    EXPECT_EQ(read_file(project() + "/.github/workflows/release.yml").find("maturin"),
              std::string::npos);

    struct Bad {
        std::vector<std::string> args;
        const char* message_part;
    };
    for (const Bad& bad : std::vector<Bad>{{{"--owner", "a b"}, "invalid --owner"},
                                           {{"--tap", "birds/nest"}, "invalid --tap"},
                                           {{"--description", "x ${{ y }}"}, "--description"},
                                           {{"--pypi", "--no-pypi"}, "cannot be used with"}}) {
        SCOPED_TRACE(bad.message_part);
        auto r = update(bad.args);
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_NE(r.err.find(bad.message_part), std::string::npos) << r.err;
    }
}

// A record written before the licence was an answer reads as MIT; the licence then changes like
// any answer, its texts with it.
TEST_F(UpdateCommand, ARecordWithoutALicenseReadsAsMitAndTheLicenseChanges) {
    make_today();
    const std::string record = project() + "/.tarnwick.toml";
    std::string text = read_file(record);
    text.erase(text.find("license = \"MIT\"\n"), std::string("license = \"MIT\"\n").size());
    write_file(record, text);
    commit_all("the record before the licence");
    Json unchanged = update_json();
    EXPECT_TRUE(unchanged["current"].get<bool>());
    EXPECT_EQ(unchanged["answers"]["license"], "MIT");

    std::filesystem::remove_all(project());
    make_today();
    Json dual = update_json({"--license", "MIT OR Apache-2.0"});
    EXPECT_EQ(strings(dual["files"]),
              (std::vector<std::string>{".github/workflows/release.yml", ".tarnwick.toml",
                                        "Cargo.toml", "LICENSE", "LICENSE-APACHE", "LICENSE-MIT",
                                        "README.md", "pyproject.toml"}));
    EXPECT_FALSE(exists(project() + "/LICENSE"));
    EXPECT_NE(read_file(record).find("license = \"MIT OR Apache-2.0\"\n"), std::string::npos);
    Json apache = update_json({"--license", "Apache-2.0"});
    EXPECT_EQ(apache["answers"]["license"], "Apache-2.0");
    EXPECT_TRUE(read_file(project() + "/LICENSE")
                    .starts_with("\n                                 Apache License"));
    EXPECT_FALSE(exists(project() + "/LICENSE-MIT"));
}

TEST_F(UpdateCommand, DryRunReportsAndChangesNothingNotEvenAnObjectsTime) {
    struct Row {
        const char* name;
        bool conflicting;
        std::string conflicts;
    };
    for (const Row& row :
         {Row{"clean", false, "[]"},
          Row{"conflicting", true,
              "[{\"kind\":\"deleted by us\",\"path\":\".github/workflows/ci.yml\"},{\"kind\":"
              "\"both modified\",\"path\":\"README.md\"}]"}}) {
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
        // A hook that would show a write of the index, and an index entry whose file time
        // changed: a status that refreshed the index would rewrite it.
        write_file(project() + "/.git/hooks/post-index-change", "#!/bin/sh\ntouch hooked\n");
        ::chmod((project() + "/.git/hooks/post-index-change").c_str(), 0755);
        std::filesystem::last_write_time(
            project() + "/LICENSE",
            std::filesystem::last_write_time(project() + "/LICENSE") + std::chrono::hours(1));
        const std::string before = repo_state();
        Json report = update_json({"--dry-run"});
        EXPECT_EQ(repo_state(), before);
        EXPECT_FALSE(exists(project() + "/hooked"));
        EXPECT_TRUE(report["dry_run"].get<bool>());
        EXPECT_EQ(conflicts_of(report), row.conflicts);
        std::vector<std::string> files = changed_files(true);
        for (const Json& c : report["conflicts"]) std::erase(files, c["path"].get<std::string>());
        EXPECT_EQ(strings(report["files"]), files);
        EXPECT_TRUE(report["commit"].is_null());
        // The real merge agrees with the dry run.
        std::filesystem::remove(project() + "/.git/hooks/post-index-change");
        auto real = update();
        EXPECT_EQ(real.exit_code, row.conflicting ? 4 : 0) << real.err;
        Json merged = Json::parse(real.out);
        EXPECT_EQ(conflicts_of(merged), row.conflicts);
        EXPECT_EQ(merged["files"], report["files"]);
    }
}

// The dry run and the real update compute the same merge: over edits that attributes, renames,
// types and line endings steer, both report the same files and conflicts, and the real one
// leaves exactly those conflicts in the index, with a work tree `git merge --abort` returns from.
TEST_F(UpdateCommand, TheDryRunAndTheUpdateAgreeOnEveryEdit) {
    struct Row {
        const char* name;
        std::function<void()> edit;
        std::string conflicts;  // the merge's own answer, besides agreement
    };
    const auto heading = [&] {
        const std::string readme = read_file(project() + "/README.md");
        const auto at = readme.find("## Install\n");
        write_file(project() + "/README.md",
                   readme.substr(0, at) + "## Install it" + readme.substr(at + 10));
    };
    const std::vector<Row> rows = {
        {"unedited", [] {}, "[]"},
        {"edited", [&] { edit_and_commit(); }, "[]"},
        {"conflicting",
         [&] {
             heading();
             std::filesystem::remove(project() + "/.github/workflows/ci.yml");
             commit_all("conflicting edits");
         },
         "[{\"kind\":\"deleted by us\",\"path\":\".github/workflows/ci.yml\"},{\"kind\":\"both "
         "modified\",\"path\":\"README.md\"}]"},
        {"merge=binary for the README",
         [&] {
             write_file(project() + "/.gitattributes", "README.md merge=binary\n");
             edit_and_commit();
         },
         "[{\"kind\":\"both modified\",\"path\":\"README.md\"}]"},
        {"a renamed file",
         [&] {
             git(project(), {"mv", "Makefile", "build.mk"});
             commit_all("rename");
         },
         "[]"},
        {"a moved directory",
         [&] {
             git(project(), {"mv", ".github", ".forgejo"});
             commit_all("forgejo");
         },
         "[{\"kind\":\"added by them\",\"path\":\".forgejo/dependabot.yml\"}]"},
        {"a symlinked README",
         [&] {
             std::filesystem::create_directories(project() + "/docs");
             git(project(), {"mv", "README.md", "docs/README.md"});
             std::filesystem::create_symlink("docs/README.md", project() + "/README.md");
             commit_all("symlink");
         },
         // git keeps the template's file beside the link, under a name of the update's own.
         "[{\"kind\":\"added by us\",\"path\":\"README.md\"},{\"kind\":\"deleted by "
         "us\",\"path\":\"README.md~tarnwick-0.2.0\"}]"},
        {"a SHA-256 repository",
         [&] {
             std::filesystem::remove_all(project() + "/.git");
             git(project(), {"init", "-q", "-b", "main", "--object-format=sha256"});
             commit_all("chore: scaffold demo with tarnwick");
             edit_and_commit();
         },
         "[]"},
        // The first commit is compared as committed, whatever git converts on checkout.
        {"core.autocrlf=true",
         [&] {
             git(project(), {"config", "core.autocrlf", "true"});
         },
         "[]"},
        {"text eol=crlf for every file",
         [&] {
             write_file(project() + "/.gitattributes", "* text eol=crlf\n");
             commit_all("crlf");
         },
         "[]"},
        {"a deleted file the templates changed",
         [&] {
             std::filesystem::remove(project() + "/Makefile");
             commit_all("no make");
         },
         "[{\"kind\":\"deleted by us\",\"path\":\"Makefile\"}]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        make_earlier(true);
        row.edit();
        const std::string head = rev("HEAD");
        Json dry = update_json({"--dry-run"});
        auto r = update();
        ASSERT_FALSE(r.out.empty()) << r.err;
        Json real = Json::parse(r.out);
        EXPECT_EQ(conflicts_of(real), conflicts_of(dry));
        EXPECT_EQ(real["files"], dry["files"]);
        EXPECT_EQ(conflicts_of(dry), row.conflicts);
        std::string unmerged;
        for (const Json& c : real["conflicts"]) unmerged += c["path"].get<std::string>() + "\n";
        EXPECT_EQ(git(project(), {"diff", "--name-only", "--diff-filter=U"}), unmerged);
        if (real["conflicts"].empty()) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(git(project(), {"status", "--porcelain"}), "");
            git(project(), {"reset", "-q", "--hard", "ORIG_HEAD"});
        } else {
            EXPECT_EQ(r.exit_code, 4) << r.err;
            git(project(), {"merge", "--abort"});
        }
        EXPECT_EQ(rev("HEAD"), head);
        EXPECT_EQ(git(project(), {"status", "--porcelain", "--untracked-files=all"}), "");
    }
}

TEST_F(UpdateCommand, AConflictIsReportedLabelledAndLeftAsGitLeavesIt) {
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

    auto r = update();
    EXPECT_EQ(r.exit_code, 4);
    Json report = Json::parse(r.out);
    EXPECT_EQ(conflicts_of(report),
              "[{\"kind\":\"deleted by us\",\"path\":\".github/workflows/ci.yml\"},{\"kind\":"
              "\"both modified\",\"path\":\"README.md\"}]");
    EXPECT_FALSE(strings(report["files"]).empty());
    EXPECT_TRUE(report["commit"].is_null());
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":4,\"hint\":\"resolve the conflicted files and `git "
              "commit` to finish, or `git merge --abort` to undo\",\"kind\":\"conflict\","
              "\"message\":\"the update of demo stopped on conflicts in "
              ".github/workflows/ci.yml, README.md; the merge is left in progress: resolve them, "
              "`git add` them and `git commit` to finish, or run `git merge --abort` to return "
              "to your commit\"}}\n");
    const std::string marked = read_file(project() + "/README.md");
    EXPECT_NE(marked.find("<<<<<<< main\n## Install it\n"), std::string::npos);
    EXPECT_NE(marked.find("\n>>>>>>> tarnwick-0.2.0\n"), std::string::npos);

    auto refused = update();
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_EQ(refused.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: a merge is in "
              "progress in demo; finish it with `git commit` or undo it with `git merge "
              "--abort`, then run `tarnwick update` again\"}}\n");

    git(project(), {"merge", "--abort"});
    EXPECT_EQ(repo_state(true), before);
    EXPECT_EQ(read_file(project() + "/README.md"), edited_readme);

    // Resolving and committing finishes the update: the next one has nothing to do.
    EXPECT_EQ(update().exit_code, 4);
    git(project(), {"checkout", "--theirs", "README.md"});
    git(project(), {"rm", "-q", ".github/workflows/ci.yml"});
    git(project(), {"commit", "-q", "-a", "--no-edit"});
    EXPECT_TRUE(update_json()["current"].get<bool>());
    EXPECT_EQ(git(project(), {"log", "-1", "--format=%P"}), rev("HEAD^") + "\n");
}

TEST_F(UpdateCommand, NoCommitLeavesTheMergeStagedForReview) {
    make_earlier(true);
    edit_and_commit();
    const std::string head = rev("HEAD");
    Json report = update_json({"--no-commit"});
    EXPECT_TRUE(report["staged"].get<bool>());
    EXPECT_TRUE(report["commit"].is_null());
    EXPECT_EQ(rev("HEAD"), head);
    EXPECT_EQ(git(project(), {"diff", "--cached", "--name-only"}),
              join(changed_files(true), "\n") + "\n");
    git(project(), {"commit", "-q", "--no-edit"});
    EXPECT_EQ(rev("HEAD^"), head);
    EXPECT_EQ(git(project(), {"log", "-1", "--format=%s"}),
              "chore: update demo with tarnwick 0.2.0\n");
    EXPECT_TRUE(update_json()["current"].get<bool>());
    auto undo = tarnwick({"update", "demo", "-o", "text", "--owner", "kestrel-labs"});
    EXPECT_NE(undo.out.find("To undo: `git reset --hard ORIG_HEAD`"), std::string::npos);
    const std::string updated = rev("HEAD");
    git(project(), {"reset", "-q", "--hard", "ORIG_HEAD"});
    EXPECT_EQ(rev("HEAD"), rev(updated + "^1"));
}

TEST_F(UpdateCommand, CommitsAreSignedAsTheUserSigns) {
    make_earlier(true);
    edit_and_commit();
    const std::string key = home() + "/signing";
    auto made = run_program("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", key},
                            default_env(home()), {});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string pub = read_file(key + ".pub");
    write_file(home() + "/allowed", "ada@example.com " + pub);
    for (const std::vector<std::string>& setting : std::vector<std::vector<std::string>>{
             {"gpg.format", "ssh"},
             {"user.signingKey", key},
             {"commit.gpgSign", "true"},
             {"gpg.ssh.allowedSignersFile", home() + "/allowed"}}) {
        git(project(), {"config", setting[0], setting[1]});
    }
    const std::string tools = tools_with({"ssh-keygen"});

    Json report = update_json({}, tools);
    auto verified =
        run_program("git", {"-C", project(), "verify-commit", "HEAD"}, default_env(home()), {});
    EXPECT_EQ(verified.exit_code, 0) << verified.err;
    EXPECT_EQ(report["commit"], rev("HEAD"));

    // A signer that fails is git's failure, never a conflict, and says how to go on.
    git(project(), {"reset", "-q", "--hard", "HEAD^"});
    git(project(), {"config", "gpg.ssh.program", "false"});
    const std::string head = rev("HEAD");
    const std::string orig_head = rev("ORIG_HEAD");
    auto failed = update({}, tools);
    EXPECT_EQ(failed.exit_code, 2);
    EXPECT_NE(failed.err.find("\"kind\":\"git\",\"message\":\"git: the update is merged and "
                              "staged in demo, but `git commit` failed"),
              std::string::npos)
        << failed.err;
    EXPECT_EQ(rev("HEAD"), head);
    EXPECT_EQ(rev("ORIG_HEAD"), orig_head) << "set by a commit that did not happen";
    git(project(), {"merge", "--abort"});
    EXPECT_EQ(git(project(), {"status", "--porcelain"}), "");
}

TEST_F(UpdateCommand, RefusalsChangeNothing) {
    struct Row {
        const char* name;
        std::function<void()> arrange;
        std::string message_part;
        int exit_code = 2;
        std::string path = "demo";  // PATH as given
    };
    const std::string again = ", then run `tarnwick update` again";
    int lock_fd = -1;
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
        {"assume-unchanged file with an edit",
         [&] {
             make_earlier(true);
             git(project(), {"update-index", "--assume-unchanged", "README.md"});
             append(project() + "/README.md", kParagraph);
         },
         "git: README.md marked assume-unchanged or skip-worktree"},
        {"an update stopped while applying its merge",
         [&] {
             make_earlier(true);
             write_file(project() + "/.git/TARNWICK_UPDATE", rev("HEAD") + "\n");
             write_file(project() + "/.git/MERGE_HEAD", rev("HEAD") + "\n");
         },
         "git: an update of demo stopped part-way through applying its merge; `git reset "
         "--hard` returns it to your commit" +
             again},
        {"a merge of the user's own after a stale mark",
         [&] {
             make_earlier(true);
             write_file(project() + "/.git/TARNWICK_UPDATE", std::string(40, '1') + "\n");
             write_file(project() + "/.git/MERGE_HEAD", rev("HEAD") + "\n");
         },
         "git: a merge is in progress in demo; finish it with `git commit`"},
        {"skip-worktree file outside the directory given",
         [&] {
             make_earlier(true);
             git(project(), {"update-index", "--skip-worktree", "README.md"});
             append(project() + "/README.md", kParagraph);
         },
         "git: README.md marked assume-unchanged or skip-worktree", 2, "demo/src"},
        {"untracked file where the update adds one",
         [&] {
             make_earlier(true);
             write_file(project() + "/.github/dependabot.yml", "mine\n");
         },
         "git: the update adds .github/dependabot.yml, but an untracked or ignored file is in "
         "the way in demo; move it aside or commit it" +
             again},
        {"ignored file where the update adds one",
         [&] {
             make_earlier(true);
             write_file(project() + "/.git/info/exclude", ".tarnwick.toml\n");
             write_file(project() + "/.tarnwick.toml", "mine\n");
         },
         "git: the update adds .tarnwick.toml, but an untracked or ignored file is in the way"},
        // git's directory-rename detection places the added .github/dependabot.yml below the
        // directory the user moved .github to, where a file of the user's is.
        {"untracked file where a directory rename puts an added one",
         [&] {
             make_earlier(true);
             git(project(), {"mv", ".github", ".forgejo"});
             commit_all("forgejo");
             write_file(project() + "/.forgejo/dependabot.yml", "mine\n");
         },
         "git: the update adds .forgejo/dependabot.yml, but an untracked or ignored file is in "
         "the way in demo"},
        {"ignored file where a directory rename puts an added one",
         [&] {
             make_earlier(true);
             git(project(), {"mv", ".github", ".forgejo"});
             write_file(project() + "/.gitignore", "dependabot.yml\n");
             commit_all("forgejo");
             write_file(project() + "/.forgejo/dependabot.yml", "mine\n");
         },
         "git: the update adds .forgejo/dependabot.yml, but an untracked or ignored file is in "
         "the way in demo"},
        {"detached HEAD",
         [&] {
             make_earlier(true);
             git(project(), {"checkout", "-q", "--detach"});
         },
         "git: HEAD is detached in demo"},
        {"bisect in progress",
         [&] {
             make_earlier(true);
             edit_and_commit();
             git(project(), {"bisect", "start", "HEAD", "HEAD~1"});
         },
         "git: a bisect is in progress in demo; end it with `git bisect reset`" + again},
        {"another update running",
         [&] {
             make_earlier(true);
             lock_fd = ::open((project() + "/.git").c_str(), O_RDONLY | O_DIRECTORY);
             ::flock(lock_fd, LOCK_EX);
         },
         "git: another `tarnwick update` is running in demo; wait for it to finish" + again},
        {"record from a newer tarnwick",
         [&] {
             make_today();
             const std::string record = read_file(project() + "/.tarnwick.toml");
             write_file(project() + "/.tarnwick.toml", record.substr(0, record.find("0.2.0")) +
                                                           "9.1.0" +
                                                           record.substr(record.find("0.2.0") + 5));
             commit_all("from the future");
         },
         "git: the project was made by tarnwick 9.1.0, newer than this tarnwick 0.2.0"},
        {"record over 64 KiB",
         [&] {
             make_today();
             append(project() + "/.tarnwick.toml", "#" + std::string(70000, 'x') + "\n");
             commit_all("a long comment");
         },
         "git: .tarnwick.toml is 70"},  // 70000 bytes and the record's own
        {"index locked by another git",
         [&] {
             make_earlier(true);
             write_file(project() + "/.git/index.lock", "");
         },
         "git: another git process is writing the index of demo ("},
        {"record with an expression in the description",
         [&] {
             make_today();
             const std::string record = read_file(project() + "/.tarnwick.toml");
             const auto at = record.find("A demo tool.");
             write_file(project() + "/.tarnwick.toml",
                        record.substr(0, at) + "x ${{ secrets.X }}" + record.substr(at + 12));
             commit_all("crafted");
         },
         "git: the answers in .tarnwick.toml break the rules `tarnwick new` holds them to"},
        {"first commit whose description TOML reads as an expression",
         [&] {
             make_earlier(true, [&](const std::string& dir) {
                 const std::string toml = read_file(dir + "/Cargo.toml");
                 const auto at = toml.find("\"A demo tool.\"");
                 write_file(dir + "/Cargo.toml", toml.substr(0, at) +
                                                     "\"\"\"x\"y ${{ secrets.X }}\"\"\"" +
                                                     toml.substr(at + 14));
             });
         },
         "git: the answers read from the first commit"},
        {"foreign repository",
         [&] {
             write_file(project() + "/README.md", "mine\n");
             git(project(), {"init", "-q"});
             commit_all("Initial commit");
         },
         "git: cannot read the project's answers from its tarnwick render: Cargo.toml has no"},
        {"no commits yet",
         [&] {
             write_file(project() + "/README.md", "mine\n");
             git(project(), {"init", "-q"});
         },
         "git: demo has no commits; there is no tarnwick project to update"},
        {"not a repository", [&] { write_file(project() + "/README.md", "mine\n"); },
         "git: demo is not in a git work tree; `tarnwick update` works in a project that "
         "`tarnwick new` made"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        row.arrange();
        const bool repository = exists(project() + "/.git");
        const std::string before = repository ? repo_state() : "";
        auto r = update({}, "", row.path);
        EXPECT_EQ(r.exit_code, row.exit_code);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("\"kind\":\"git\",\"message\":\"" + row.message_part),
                  std::string::npos)
            << r.err;
        EXPECT_LT(r.err.size(), 1024u) << "a refusal quotes no file";
        if (repository) {
            EXPECT_EQ(repo_state(), before);
        }
        if (lock_fd >= 0) {
            ::close(lock_fd);
            lock_fd = -1;
        }
    }
}

TEST_F(UpdateCommand, APathGitCannotPrintAsALineIsRefusedByName) {
    for (const std::string& name : {std::string("de\nmo"), std::string("de\xffmo")}) {
        SCOPED_TRACE(name);
        make_earlier(true, {}, work(name));
        auto r = update({}, "", name);
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_NE(r.err.find("tarnwick passes paths to git as lines of UTF-8 text, and this path "
                             "has a line feed or bytes that are not UTF-8; move the project"),
                  std::string::npos)
            << r.err;
    }
}

TEST_F(UpdateCommand, GitOlderThanTheMergeItNeedsIsRefusedFirst) {
    make_earlier(true);
    const std::string tools = tools_with({});
    const std::string real_git = std::filesystem::read_symlink(tools + "/git").string();
    std::filesystem::remove(tools + "/git");
    write_file(tools + "/git",
               "#!/bin/sh\n[ \"$1\" = --version ] && { echo 'git version 2.37.0'; "
               "exit 0; }\necho ran >> \"" +
                   work("git.log") + "\"\nexec " + real_git + " \"$@\"\n");
    ::chmod((tools + "/git").c_str(), 0755);
    auto r = update({}, tools, "nowhere");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: git 2.37.0 is too "
              "old: `tarnwick update` needs git 2.38.0 or newer; upgrade git: "
              "https://git-scm.com/downloads\"}}\n");
    EXPECT_FALSE(exists(work("git.log")));
}

TEST_F(UpdateCommand, CargoLockFollowsAChangedManifest) {
    // A stand-in cargo whose `update --workspace` writes a lock of its own.
    const std::string with_cargo = [&] {
        const std::string dir = tools_with({});
        write_file(dir + "/cargo",
                   "#!/bin/sh\n[ \"$1\" = update ] && [ \"$3\" = --manifest-path ] && "
                   "printf '# refreshed\\n' > \"${4%/Cargo.toml}/Cargo.lock\"\nexit 0\n");
        ::chmod((dir + "/cargo").c_str(), 0755);
        return dir;
    }();
    const std::string kLock = "# This file is automatically @generated by Cargo.\nversion = 4\n";
    const std::string kNote =
        "Cargo.lock could not follow the new Cargo.toml (no cargo, or the crates are neither "
        "cached nor reachable): run `cargo update --workspace` and commit it";
    const std::string kLeftAlone =
        "Cargo.lock is not tracked by git, so the update left it as it is: run `cargo update "
        "--workspace` if it should follow the new Cargo.toml";
    enum class Kept { Tracked, Untracked, Ignored };
    struct Row {
        const char* name;
        std::vector<std::string> args;  // an owner change changes Cargo.toml
        bool cargo;
        std::string lock_after;
        std::vector<std::string> notes;
        Kept kept = Kept::Tracked;
    };
    const std::vector<Row> rows = {
        {"same manifest, cargo is not run for the lock",
         {"--tap", "acme/homebrew-x"},
         true,
         kLock,
         {}},
        {"new manifest, no cargo", {"--owner", "kestrel-labs"}, false, kLock, {kNote}},
        {"new manifest, lock refreshed", {"--owner", "kestrel-labs"}, true, "# refreshed\n", {}},
        {"new manifest, untracked lock",
         {"--owner", "kestrel-labs"},
         true,
         kLock,
         {kLeftAlone},
         Kept::Untracked},
        {"new manifest, ignored lock",
         {"--owner", "kestrel-labs"},
         true,
         kLock,
         {kLeftAlone},
         Kept::Ignored},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(project());
        make_today();
        if (row.kept == Kept::Ignored) {
            append(project() + "/.gitignore", "Cargo.lock\n");
            commit_all("ignore the lock");
        }
        write_file(project() + "/Cargo.lock", kLock);
        if (row.kept == Kept::Tracked) commit_all("lock");
        std::vector<std::string> dry_args = row.args;
        dry_args.push_back("--dry-run");
        Json dry = update_json(dry_args, row.cargo ? with_cargo : "");
        Json report = update_json(row.args, row.cargo ? with_cargo : "");
        EXPECT_EQ(read_file(project() + "/Cargo.lock"), row.lock_after);
        EXPECT_EQ(git(project(), {"status", "--porcelain"}),
                  row.kept == Kept::Untracked ? "?? Cargo.lock\n" : "");
        EXPECT_EQ(strings(report["notes"]), row.notes);
        if (row.kept != Kept::Tracked) {
            EXPECT_EQ(strings(dry["notes"]), row.notes);
        }
        const auto files = strings(report["files"]);
        EXPECT_EQ(std::count(files.begin(), files.end(), "Cargo.lock"),
                  row.lock_after == kLock ? 0 : 1);
        // The undo takes back the update's commit, and only that.
        git(project(), {"reset", "-q", "--hard", "ORIG_HEAD"});
        EXPECT_EQ(read_file(project() + "/Cargo.lock"), kLock);
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
        "Updated . from tarnwick 0.1.6 to 0.2.0: " + std::to_string(changed_files(true).size()) +
        " files changed, commit " + rev("HEAD").substr(0, 12) + "\nChanged:\n";
    for (const std::string& file : changed_files(true)) expected += "  - " + file + "\n";
    expected +=
        "To undo: `git reset --hard ORIG_HEAD`\nAnswers: name demo, owner acme, description \"A "
        "demo tool.\", author \"Ada Lovelace <ada@example.com>\", year 2024, PyPI on, tap "
        "acme/homebrew-tap, license MIT\nNext: `make check`\n";
    EXPECT_EQ(r.out, expected);
}

}  // namespace

// `tarnwick new` end to end with real git and the fake gh: the reports byte for byte, the
// first commit, the option switches, and every failure envelope with what it leaves behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "scaffold_fixture.hpp"
#include "support/test_paths.hpp"

using namespace tarnwick::testing;

namespace {

constexpr const char* kNextNoRepo =
    "create the GitHub repo + push (or re-run with --github): gh repo create kestrow/demo "
    "--source . --push";

class NewCommand : public ScaffoldRun {
protected:
    void SetUp() override { write_git_identity(home(), "Ada Lovelace", "ada@example.com"); }

    // Author name, e-mail and subject of every commit on HEAD, one commit per line.
    std::string commits(const std::string& dir) { return git(dir, {"log", "--format=%an|%ae|%s"}); }
};

std::string lines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) out += item + "\n";
    return out;
}

}  // namespace

TEST_F(NewCommand, TextReportAndTheFirstCommitWithoutCargoOnPath) {
    auto r = tarnwick({"new", "demo", "-o", "text"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string("Scaffolded ./demo (18 files, committed)\nNext:\n"
                                 "  - cd ./demo && make check\n  - ") +
                         kNextNoRepo +
                         "\n  - tarnwick secrets kestrow/demo\n"
                         "  - make release-patch  # bump, tag; pushing the tag publishes\n");
    const std::string project = work("demo");
    EXPECT_EQ(commits(project),
              "Ada Lovelace|ada@example.com|chore: scaffold demo with tarnwick\n");
    EXPECT_EQ(git(project, {"symbolic-ref", "--short", "HEAD"}), "main\n");
    EXPECT_EQ(git(project, {"branch", "--list"}), "* main\n");
    EXPECT_EQ(git(project, {"ls-files"}), lines(sorted_project_files()));
    EXPECT_EQ(git(project, {"status", "--porcelain", "--untracked-files=all"}), "");
}

TEST_F(NewCommand, JsonReportIsOneLineWithSortedFiles) {
    auto r = tarnwick({"new", "demo"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "{\"committed\":true,\"created\":\"./demo\",\"files\":" +
                         json_string_list(sorted_project_files()) +
                         ",\"next\":[\"cd ./demo && make check\",\"" + kNextNoRepo +
                         "\",\"tarnwick secrets kestrow/demo\",\"make release-patch  # bump, "
                         "tag; pushing the tag publishes\"],\"repo\":null}\n");
}

TEST_F(NewCommand, TerminalMeansText) {
    RunOptions pty;
    pty.use_pty = true;
    auto r = tarnwick({"new", "demo", "--no-git"}, pty);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Scaffolded ./demo (18 files)");
}

TEST_F(NewCommand, NoGitWritesFilesWithoutARepository) {
    auto r = tarnwick({"new", "demo", "--no-git", "-o", "text"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Scaffolded ./demo (18 files)");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6);
    EXPECT_FALSE(exists(work("demo/.git")));
    EXPECT_TRUE(exists(work("demo/Cargo.toml")));

    auto j = tarnwick({"new", "other", "--no-git"});
    EXPECT_EQ(j.out.substr(0, 20), "{\"committed\":false,\"");
}

TEST_F(NewCommand, NoPypiLeavesOutPyprojectAndEverySectionMarker) {
    auto r = tarnwick({"new", "demo", "--no-pypi"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("\"files\":" + json_string_list(sorted_project_files(false)) + ","),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(exists(work("demo/pyproject.toml")));
    EXPECT_EQ(git(work("demo"), {"ls-files"}), lines(sorted_project_files(false)));
    for (const auto& file : sorted_project_files(false)) {
        const std::string text = read_file(work("demo/" + file));
        EXPECT_EQ(text.find("{{#pypi}}"), std::string::npos) << file;
        EXPECT_EQ(text.find("{{/pypi}}"), std::string::npos) << file;
    }
    auto t = tarnwick({"new", "other", "--no-pypi", "--no-git", "-o", "text"});
    EXPECT_EQ(t.out.substr(0, t.out.find('\n')), "Scaffolded ./other (17 files)");
}

TEST_F(NewCommand, ExistingDestinationIsRefusedAndLeftAlone) {
    ASSERT_EQ(tarnwick({"new", "demo"}).exit_code, 0);
    write_file(work("demo/Cargo.toml"), "mine\n");
    auto r = tarnwick({"new", "demo"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"choose another name, or remove the "
              "existing directory\",\"kind\":\"exists\",\"message\":\"./demo already "
              "exists\"}}\n");
    EXPECT_EQ(read_file(work("demo/Cargo.toml")), "mine\n");
    EXPECT_EQ(commits(work("demo")),
              "Ada Lovelace|ada@example.com|chore: scaffold demo with tarnwick\n");

    write_file(work("plain"), "a file\n");
    EXPECT_EQ(tarnwick({"new", "plain"}).exit_code, 3);
    EXPECT_EQ(read_file(work("plain")), "a file\n");
}

TEST_F(NewCommand, InvalidNameEnvelope) {
    auto r = tarnwick({"new", "Demo"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"invalid crate name \\\"Demo\\\": use "
              "lowercase letters, digits, '-' or '_', starting with a letter\"}}\n");
    EXPECT_FALSE(exists(work("Demo")));
}

TEST_F(NewCommand, GithubWithNoGitIsRefusedBeforeAnythingIsWritten) {
    const std::string log = home() + "/gh-log";
    RunOptions options;
    options.env["FAKE_GH_LOG"] = log;
    auto r = tarnwick({"new", "demo", "--github", "--no-git"}, options);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"--github needs the initial commit; "
              "remove --no-git\"}}\n");
    EXPECT_FALSE(exists(work("demo")));
    EXPECT_FALSE(exists(log));
}

TEST_F(NewCommand, GithubCreatesAndPushesThroughGh) {
    const std::string log = home() + "/gh-log";
    RunOptions options;
    options.env["FAKE_GH_LOG"] = log;
    auto r = tarnwick({"new", "demo", "--github", "-o", "text"}, options);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Scaffolded ./demo (18 files, committed)\n"
              "Created and pushed github.com/kestrow/demo\nNext:\n"
              "  - cd ./demo && make check\n  - tarnwick secrets kestrow/demo\n"
              "  - make release-patch  # bump, tag; pushing the tag publishes\n");
    // gh's version is asked first, before anything is written.
    EXPECT_EQ(read_file(log + "/000.args"), "--version\n");
    EXPECT_EQ(read_file(log + "/001.args"),
              "repo\ncreate\nkestrow/demo\n--public\n--description\nAn ordoval-compliant CLI "
              "(demo).\n--source\n./demo\n--remote\norigin\n--push\n");
    EXPECT_EQ(read_file(log + "/001.stdin"), "");
    EXPECT_FALSE(exists(log + "/002.args"));

    auto j = tarnwick(
        {"new", "other", "--github", "--owner", "acme", "--description", "Caf\xC3\xA9 # {{x}}"},
        options);
    ASSERT_EQ(j.exit_code, 0) << j.err;
    EXPECT_NE(j.out.find("\"next\":[\"cd ./other && make check\",\"tarnwick secrets "
                         "acme/other\",\"make release-patch  # bump, tag; pushing the tag "
                         "publishes\"],\"repo\":\"acme/other\"}\n"),
              std::string::npos)
        << j.out;
    EXPECT_EQ(read_file(log + "/003.args"),
              "repo\ncreate\nacme/other\n--public\n--description\nCaf\xC3\xA9 # "
              "{{x}}\n--source\n./other\n--remote\norigin\n--push\n");
}

TEST_F(NewCommand, GithubWithAnOldGhWritesNothing) {
    const std::string log = home() + "/gh-log";
    RunOptions options;
    options.env["FAKE_GH_LOG"] = log;
    options.env["FAKE_GH_VERSION"] = "2.2.1";
    auto r = tarnwick({"new", "demo", "--github"}, options);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"hint\":\"ensure `gh` is installed and "
              "authenticated (`gh auth status`)\",\"kind\":\"backend\",\"message\":\"gh: gh 2.2.1 "
              "is too old: `tarnwick new --github` needs gh 2.3.0 or newer; upgrade gh: "
              "https://github.com/cli/cli#installation (distribution packages are often "
              "older)\"}}\n");
    EXPECT_FALSE(exists(work("demo")));
    EXPECT_EQ(read_file(log + "/000.args"), "--version\n");
    EXPECT_FALSE(exists(log + "/001.args"));
}

TEST_F(NewCommand, GithubFailureIsABackendErrorAfterTheLocalCommit) {
    const std::string scenario = home() + "/scenario";
    write_file(scenario + "/repo_create_kestrow%demo.exit", "1\n");
    write_file(scenario + "/repo_create_kestrow%demo.stderr",
               "GraphQL: Name already exists on this account\n");
    RunOptions options;
    options.env["FAKE_GH_SCENARIO"] = scenario;
    auto r = tarnwick({"new", "demo", "--github"}, options);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"hint\":\"ensure `gh` is installed and "
              "authenticated (`gh auth status`)\",\"kind\":\"backend\",\"message\":\"gh: "
              "GraphQL: Name already exists on this account\"}}\n");
    EXPECT_EQ(commits(work("demo")),
              "Ada Lovelace|ada@example.com|chore: scaffold demo with tarnwick\n");
}

TEST_F(NewCommand, MissingGitFailsAfterTheFilesAreWritten) {
    auto r = tarnwick({"new", "demo"}, tool_dir({}), {}, false);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: could not run "
              "git: No such file or directory (os error 2)\"}}\n");
    for (const auto& file : sorted_project_files()) {
        EXPECT_TRUE(exists(work("demo/" + file))) << file;
    }
    EXPECT_FALSE(exists(work("demo/.git")));
}

TEST_F(NewCommand, CommitIdentityComesFromTheAuthorText) {
    struct Case {
        std::string author, expected;
    };
    const std::vector<Case> cases = {
        {"Grace Hopper <grace@example.org>", "Grace Hopper|grace@example.org"},
        {"Grace", "Grace|tarnwick@users.noreply.github.com"},
        {"", "tarnwick|tarnwick@users.noreply.github.com"},
        // git itself drops angle brackets from a name; the split is the whole text.
        {"x> y <z", "x y z|tarnwick@users.noreply.github.com"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "p" + std::to_string(n++);
        auto r = tarnwick({"new", name, "--author", c.author});
        ASSERT_EQ(r.exit_code, 0) << c.author << r.err;
        EXPECT_EQ(commits(work(name)), c.expected + "|chore: scaffold " + name + " with tarnwick\n")
            << c.author;
    }
}

TEST_F(NewCommand, NoGitIdentityCommitsAsThePlaceholderAuthor) {
    std::filesystem::remove(home() + "/.gitconfig");
    ASSERT_EQ(tarnwick({"new", "demo"}).exit_code, 0);
    EXPECT_EQ(commits(work("demo")),
              "Your Name|you@example.com|chore: scaffold demo with tarnwick\n");
}

TEST_F(NewCommand, ValuesThatWouldBreakGeneratedFilesAreRefused) {
    auto d = tarnwick({"new", "demo", "--description", "say \"hi\""});
    EXPECT_EQ(d.exit_code, 3);
    EXPECT_EQ(d.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"invalid --description \\\"say "
              "\\\\\\\"hi\\\\\\\"\\\": quotes, backslashes and control characters would break "
              "the generated files\"}}\n");
    EXPECT_FALSE(exists(work("demo")));

    auto o = tarnwick({"new", "demo", "--owner", "acme/tools"});
    EXPECT_EQ(o.exit_code, 3);
    EXPECT_NE(o.err.find("invalid --owner \\\"acme/tools\\\""), std::string::npos) << o.err;
    EXPECT_FALSE(exists(work("demo")));

    // An identity from git config with quotes points at --author; --author then wins.
    write_git_identity(home(), "Jo \\\"JJ\\\" Doe", "jo@example.com");
    auto g = tarnwick({"new", "demo"});
    EXPECT_EQ(g.exit_code, 3);
    EXPECT_NE(g.err.find("invalid author \\\"Jo \\\\\\\"JJ\\\\\\\" Doe <jo@example.com>\\\" from "
                         "git config user.name/user.email: "),
              std::string::npos)
        << g.err;
    EXPECT_NE(g.err.find("; pass --author\"}}"), std::string::npos) << g.err;
    EXPECT_FALSE(exists(work("demo")));
    EXPECT_EQ(tarnwick({"new", "demo", "--author", "Jo Doe"}).exit_code, 0);
}

TEST_F(NewCommand, IntoAMissingDirectoryCreatesIt) {
    auto r = tarnwick({"new", "demo", "--into", "a/b", "--no-git", "-o", "text"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Scaffolded a/b/demo (18 files)");
    EXPECT_NE(r.out.find("  - cd a/b/demo && make check\n"), std::string::npos);
    EXPECT_TRUE(exists(work("a/b/demo/Cargo.toml")));

    auto slash = tarnwick({"new", "demo", "--into", work("a/"), "--no-git"});
    ASSERT_EQ(slash.exit_code, 0) << slash.err;
    EXPECT_NE(slash.out.find("\"created\":\"" + work("a/demo") + "\""), std::string::npos);
}

// A dangling link is free to `check`, but `new` creates its directory exclusively: the link
// is never followed, and the name counts as taken.
TEST_F(NewCommand, DanglingSymlinkDestinationIsTakenAndNotFollowed) {
    ASSERT_EQ(::symlink(work("nowhere").c_str(), work("demo").c_str()), 0);
    auto r = tarnwick({"new", "demo"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"choose another name, or remove the "
              "existing directory\",\"kind\":\"exists\",\"message\":\"./demo already "
              "exists\"}}\n");
    EXPECT_FALSE(exists(work("nowhere")));
}

TEST_F(NewCommand, ParentThatIsAFileIsAnIoErrorWithNothingWritten) {
    write_file(work("blocker"), "x");
    auto r = tarnwick({"new", "demo", "--into", "blocker"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"Not a directory (os "
              "error 20)\"}}\n");
    EXPECT_EQ(read_file(work("blocker")), "x");
}

TEST_F(NewCommand, ReportWriteFailureIsIgnored) {
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    tools.push_back("sh");
    auto env = default_env(home());
    env["PATH"] = std::string(TARNWICK_FAKES_DIR) + ":" + tool_dir(tools);
    RunOptions options;
    options.cwd = work();
    auto r = run_program("/bin/sh", {"-c", "exec \"$0\" new demo >/dev/full", TARNWICK_BIN}, env,
                         options);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(exists(work("demo/.git")));
}

// With cargo and a registry it can resolve from, `new` formats the tree and pins the
// dependencies: the one commit holds the rendered files plus Cargo.lock, formatted, while the
// report lists the rendered files only. A wrapper logs each cargo call with its exit status.
// The name is long enough that the rendered sources overrun rustfmt's line width, so the
// committed tree passes `cargo fmt --check` only if `cargo fmt` really ran and succeeded;
// the control scaffolds the same project without cargo and shows that it does not pass.
TEST_F(NewCommand, WithCargoTheCommitHoldsTheFormattedTreeAndItsLockFile) {
    std::string cargo = tool_dir({"cargo"}) + "/cargo";
    if (::access(cargo.c_str(), X_OK) != 0) {
        // rustup installs its proxies in $CARGO_HOME/bin, by default ~/.cargo/bin.
        const char* cargo_home = std::getenv("CARGO_HOME");
        const char* real_home = std::getenv("HOME");
        cargo = (cargo_home && *cargo_home ? std::string(cargo_home)
                                           : std::string(real_home ? real_home : "") + "/.cargo") +
                "/bin/cargo";
    }
    if (::access(cargo.c_str(), X_OK) != 0) GTEST_SKIP() << "cargo is not installed";
    // The machine's cargo home, shared with the acceptance suite: the crates the templates
    // need, from the registry the first time and from the cache afterwards.
    const std::string cargo_home = tarnwick::testing::paths::cargo_home;
    auto made = run_program("bash",
                            {std::string(TARNWICK_SOURCE_DIR) + "/tests/registry/cargo_home.sh",
                             cargo_home, "--offline-first"},
                            default_env(home()), {});
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
    auto env = default_env(home());
    env["CARGO_HOME"] = cargo_home;
    auto fmt_check = [&](const std::string& dir) {
        RunOptions in_project;
        in_project.cwd = dir;
        return run_program(cargo, {"fmt", "--check"}, env, in_project);
    };

    const std::string name = "a-very-long-crate-name-that-goes-on-and-on-for-a-while";
    const std::string control = bins_ / "control";
    ASSERT_EQ(tarnwick({"new", name, "--no-git", "--into", control}).exit_code, 0);
    EXPECT_EQ(fmt_check(control + "/" + name).exit_code, 1)
        << "the rendered sources are already formatted, so this test proves nothing";

    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    const std::string dir = tool_dir(tools);
    const std::string log = bins_ / "cargo.log";
    write_file(dir + "/cargo", "#!/bin/sh\n'" + cargo +
                                   "' \"$@\"\nstatus=$?\nprintf '%s -> %s\\n' \"$*\" $status >> '" +
                                   log + "'\nexit $status\n");
    std::filesystem::permissions(dir + "/cargo", std::filesystem::perms::owner_all);
    // `cargo fmt` runs cargo-fmt and rustfmt from PATH: they sit beside cargo.
    const std::filesystem::path found = std::filesystem::is_symlink(cargo)
                                            ? std::filesystem::read_symlink(cargo)
                                            : std::filesystem::path(cargo);
    const std::string toolchain_bin = found.parent_path();
    for (const char* helper : {"cargo-fmt", "rustfmt"}) {
        if (exists(toolchain_bin + "/" + helper))
            std::filesystem::create_symlink(toolchain_bin + "/" + helper, dir + "/" + helper);
    }
    RunOptions options;
    options.env["CARGO_HOME"] = cargo_home;
    auto r = tarnwick({"new", name}, dir, options);
    ASSERT_EQ(r.exit_code, 0) << r.err;

    const std::string manifest = "--manifest-path " + std::filesystem::canonical(work()).string() +
                                 "/" + name + "/Cargo.toml";
    EXPECT_EQ(read_file(log),
              "fmt " + manifest + " -> 0\ngenerate-lockfile " + manifest + " --offline -> 0\n");
    std::vector<std::string> files = sorted_project_files();
    EXPECT_NE(r.out.find("\"files\":" + json_string_list(files) + ","), std::string::npos) << r.out;
    files.push_back("Cargo.lock");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(git(work(name), {"ls-files"}), lines(files));
    EXPECT_EQ(git(work(name), {"status", "--porcelain", "--untracked-files=all"}), "");
    auto fmt = fmt_check(work(name));
    EXPECT_EQ(fmt.exit_code, 0) << fmt.out << fmt.err;
}

// Names and descriptions that would give a project that does not build or parse are refused
// before anything is written; the same name passes where its reason does not apply.
TEST_F(NewCommand, NamesAndDescriptionsThatBreakTheProjectAreRefused) {
    struct Case {
        std::vector<std::string> args;
        const char* message;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {{"serde-json"},
         "invalid crate name \\\"serde-json\\\": as serde_json, the generated crate depends on a "
         "crate of that name"},
        {{"clap"},
         "invalid crate name \\\"clap\\\": the generated crate depends on a crate of "
         "that name"},
        {{"tool-"},
         "invalid crate name \\\"tool-\\\": a PyPI package name must end with a letter "
         "or digit (or pass --no-pypi)"},
        {{"tool-", "--no-pypi"}, ""},
        {{"demo", "--description", "a\xE2\x80\xA8shell: x"},
         "invalid --description \\\"a\\\\u{2028}shell: x\\\": U+2028 is refused: YAML reads it as "
         "a line break in the release workflow"},
        {{"demo", "--description", "\xEF\xBF\xBF"},
         "invalid --description \\\"\xEF\xBF\xBF\\\": U+FFFF is refused: a Unicode "
         "non-character is not allowed in YAML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        std::vector<std::string> args = {"new"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("--no-git");
        auto r = tarnwick(args);
        if (*c.message == '\0') {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_TRUE(exists(work(c.args.front())));
            continue;
        }
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_EQ(r.err, std::string("{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick "
                                     "--help` or `tarnwick schema`\",\"kind\":\"usage\","
                                     "\"message\":\"") +
                             c.message + "\"}}\n");
        EXPECT_FALSE(exists(work(c.args.front())));
    }
}

// The first next command is pasted into a shell: whatever --into holds, it changes into the
// project and runs nothing else. The text report shows control characters escaped.
TEST_F(NewCommand, TheCdCommandIsOneShellWordAndTextIsEscaped) {
    struct Case {
        std::string into;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"my projects", "cd 'my projects/demo' && make check"},
        {"x;echo INJECTED;y", "cd 'x;echo INJECTED;y/demo' && make check"},
        {"it's $(echo INJECTED)", "cd 'it'\\''s $(echo INJECTED)/demo' && make check"},
        {"-x", "cd ./-x/demo && make check"},
        {"plain/dir", "cd plain/dir/demo && make check"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.into);
        TempDir place;
        RunOptions options;
        options.cwd = place.path();
        auto r = tarnwick({"new", "demo", "--no-git", "--into=" + c.into, "-o", "text"}, options);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.out.find("\n  - " + c.command + "\n"), std::string::npos) << r.out;
        // Run it, with pwd in place of make.
        const std::string cd =
            c.command.substr(0, c.command.size() - std::string(" && make check").size());
        auto sh = run_program("/bin/sh", {"-c", cd + " && pwd"}, default_env(home()), options);
        EXPECT_EQ(sh.exit_code, 0) << sh.err;
        EXPECT_EQ(sh.out, place.path() + "/" + c.into + "/demo\n");
    }

    TempDir place;
    RunOptions options;
    options.cwd = place.path();
    auto t = tarnwick({"new", "demo", "--no-git", "--into", "x\x1b[31m\ty", "-o", "text"}, options);
    ASSERT_EQ(t.exit_code, 0) << t.err;
    EXPECT_EQ(t.out.substr(0, t.out.find("Next:")),
              "Scaffolded x\\u{1b}[31m\\ty/demo (18 files)\n");
    EXPECT_NE(t.out.find("  - cd 'x\\u{1b}[31m\\ty/demo' && make check\n"), std::string::npos)
        << t.out;
    auto j = tarnwick({"check", "demo", "--into", "x\x1b[31m\ty", "-o", "text"}, options);
    EXPECT_EQ(j.out, "x\\u{1b}[31m\\ty/demo: already exists\n");
}

// A global ignore file that matches generated files changes nothing: every file is committed.
TEST_F(NewCommand, GlobalIgnoreRulesDropNoGeneratedFile) {
    write_file(home() + "/.config/git/ignore", "Makefile\n*.toml\n.github/\n");
    auto r = tarnwick({"new", "demo"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(git(work("demo"), {"ls-files"}), lines(sorted_project_files()));
}

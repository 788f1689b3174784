// `new`'s children against stubs: cargo formats and pins the project with the resolved
// toolchain, git commits exactly the files written (the lock file only when there is one),
// and gh is asked for its version before anything is written.
#include <gtest/gtest.h>

#include <algorithm>

#include "scaffold/new_command.hpp"
#include "support/files.hpp"
#include "support/stub_runner.hpp"

using namespace tarnwick;
using tarnwick::testing::failure;
using tarnwick::testing::output;
using tarnwick::testing::Reply;
using tarnwick::testing::StubRunner;
using tarnwick::testing::TempDir;

namespace {

const std::string kToolchain = "RUSTUP_TOOLCHAIN=stable-x86_64-unknown-linux-gnu";

New new_args(const TempDir& into) {
    New args;
    args.name = "demo";
    args.owner = "kestrow";
    args.author = "Ada Lovelace <ada@example.com>";
    args.into = into.path();
    return args;
}

bool has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// cargo's steps; lock_online says whether the second, networked generate-lockfile succeeds.
void expect_cargo(StubRunner& runner, const std::string& project, bool lock_online) {
    runner.expect({"rustup", "show", "active-toolchain"},
                  output("stable-x86_64-unknown-linux-gnu (default)\n"));
    const std::string manifest = project + "/Cargo.toml";
    runner.expect({"cargo", "fmt", "--manifest-path", manifest}, [](const ChildCall& call) {
        EXPECT_TRUE(has(call.extra_env, kToolchain));
        EXPECT_EQ(call.dir, "/") << "cargo reads no configuration of the user's directory";
        return Reply{};
    });
    runner.expect({"cargo", "generate-lockfile", "--manifest-path", manifest, "--offline"},
                  failure("no matching package in the cache"));
    runner.expect({"cargo", "generate-lockfile", "--manifest-path", manifest},
                  [project, lock_online](const ChildCall& call) {
                      EXPECT_TRUE(has(call.extra_env, kToolchain));
                      EXPECT_TRUE(has(call.extra_env, "CARGO_NET_RETRY=0"));
                      EXPECT_EQ(call.dir, "/");
                      if (!lock_online) return failure("network down");
                      tarnwick::testing::write_file(project + "/Cargo.lock", "# lock\n");
                      return Reply{};
                  });
}

}  // namespace

TEST(NewSteps, FormatsPinsAndCommitsExactlyTheWrittenFilesOnMain) {
    for (const bool lock_online : {true, false}) {
        SCOPED_TRACE(lock_online ? "with a lock file" : "without a lock file");
        TempDir into;
        const std::string project = into / "demo";
        StubRunner runner;
        expect_cargo(runner, project, lock_online);
        std::vector<std::string> added;
        runner.expect({"git", "init", "-q"});
        runner.expect({"git", "add", "-f", "--", "..."}, [&added](const ChildCall& call) {
            added.assign(call.args.begin() + 3, call.args.end());
            return Reply{};
        });
        runner.expect({"git", "-c", "user.name=Ada Lovelace", "-c", "user.email=ada@example.com",
                       "commit", "-q", "-m", "chore: scaffold demo with tarnwick"});
        runner.expect({"git", "branch", "-M", "main"});

        auto report = run_new(new_args(into), OutputFormat::Json);
        ASSERT_TRUE(report.ok()) << report.error().message();

        for (const auto& call : runner.calls()) {
            if (call.program == "git") {
                EXPECT_EQ(call.dir, project) << tarnwick::testing::call_line(call);
            }
        }
        ASSERT_FALSE(added.empty());
        EXPECT_TRUE(has(added, "Cargo.toml"));
        EXPECT_EQ(has(added, "Cargo.lock"), lock_online);
        for (const auto& file : added) {
            EXPECT_TRUE(tarnwick::testing::exists(project + "/" + file)) << file;
        }
        EXPECT_NE(report->find("\"committed\":true"), std::string::npos) << *report;
    }
}

TEST(NewSteps, AFailedCommitIsAGitErrorWithGitsOwnWordsAndNothingFollows) {
    TempDir into;
    StubRunner runner;
    expect_cargo(runner, into / "demo", true);
    runner.expect({"git", "init", "-q"});
    runner.expect({"git", "add", "..."});
    runner.expect({"git", "-c", "*", "-c", "*", "commit", "-q", "-m", "*"},
                  failure("fatal: unable to auto-detect email address\n", 128));
    auto report = run_new(new_args(into), OutputFormat::Text);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.error().kind(), ErrorKind::Git);
    EXPECT_EQ(report.error().message(), "git: fatal: unable to auto-detect email address");
}

TEST(NewSteps, GithubAsksGhItsVersionFirstAndCreatesTheRepoAfterTheCommit) {
    {
        SCOPED_TRACE("gh too old: nothing is written and nothing else runs");
        TempDir into;
        StubRunner runner;
        runner.expect({"gh", "--version"}, output("gh version 2.2.0 (2021-10-25)\n"));
        auto args = new_args(into);
        args.github = true;
        auto report = run_new(args, OutputFormat::Text);
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.error().kind(), ErrorKind::Backend);
        EXPECT_FALSE(tarnwick::testing::exists(into / "demo"));
    }
    {
        SCOPED_TRACE("gh new enough");
        TempDir into;
        const std::string project = into / "demo";
        StubRunner runner;
        runner.expect({"gh", "--version"}, output("gh version 2.40.1 (2023-12-13)\n"));
        expect_cargo(runner, project, true);
        runner.expect({"git", "init", "-q"});
        runner.expect({"git", "add", "..."});
        runner.expect({"git", "-c", "*", "-c", "*", "commit", "-q", "-m", "*"});
        runner.expect({"git", "branch", "-M", "main"});
        runner.expect({"gh", "repo", "create", "kestrow/demo", "--public", "--description", "*",
                       "--source", project, "--remote", "origin", "--push"});
        auto args = new_args(into);
        args.github = true;
        auto report = run_new(args, OutputFormat::Text);
        ASSERT_TRUE(report.ok()) << report.error().message();
        const auto lines = runner.call_lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "gh --version");
        EXPECT_TRUE(lines.back().starts_with("gh repo create kestrow/demo")) << lines.back();
    }
}

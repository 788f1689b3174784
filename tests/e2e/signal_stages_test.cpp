// SIGTERM at every child of `new`, `secrets`, `update` and `doctor`: each child tarnwick starts
// goes through a stand-in that counts the calls; the one numbered STAGE_AT starts a grandchild,
// signals tarnwick and waits to be stopped, the others run the real tool. Whatever the stage,
// tarnwick ends by the signal and leaves no child, no grandchild and no temporary directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "answers/render.hpp"
#include "scaffold_fixture.hpp"
#include "support/processes.hpp"
#include "support/test_paths.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kStandIn = R"sh(#!/bin/sh
n=$(($(cat "$STAGE_DIR/count") + 1))
echo "$n" >"$STAGE_DIR/count"
echo "$n ${0##*/} $*" >>"$STAGE_DIR/calls"
if [ "$n" -eq "$STAGE_AT" ]; then
  sleep 300 &
  echo $! >"$STAGE_DIR/grandchild"
  echo $$ >"$STAGE_DIR/child"
  kill -TERM $PPID
  exec sleep 300
fi
PATH=$STAGE_REAL_PATH
exec "${0##*/}" "$@"
)sh";

// The children tarnwick may start; a stand-in is put only for those found.
const std::vector<std::string> kTools = {"git", "gh", "ssh-keygen", "cargo", "rustup"};

// The earlier template tree rendered into dir and committed, as `new` left a project then.
void make_earlier_project(const std::string& dir, const std::string& home) {
    const fs::path root = std::string(TARNWICK_SOURCE_DIR) + "/template-sets/0.1.6";
    const Answers answers = demo_answers(true);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::string rel = entry.path().lexically_relative(root).string();
        rel.resize(rel.size() - 5);  // ".tmpl"
        write_file(
            dir + "/" + rel,
            replace_placeholders(cut_sections(read_file(entry.path()), answers), answers, "0.1.6"));
    }
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"init", "-q", "-b", "main"},
             {"add", "-A"},
             {"commit", "-q", "-m", "chore: scaffold demo with tarnwick"}}) {
        args.insert(args.begin(), {"-C", dir});
        auto r = run_program("git", args, default_env(home), {});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
}

class SignalStages : public ScaffoldRun {
protected:
    void SetUp() override {
        write_git_identity(home(), "Ada Lovelace", "ada@example.com");
        std::vector<std::string> tools = shell_tools();
        for (const char* t : {"sh", "sleep", "git", "ssh-keygen", "dirname", "stat", "mv", "touch",
                              "ls", "sort", "sed", "cut", "rm", "tr", "head", "tail", "grep"}) {
            tools.emplace_back(t);
        }
        real_path_ = std::string(TARNWICK_FAKES_DIR) + ":" + tool_dir(tools);
        fs::create_directories(stand_ins_ / "bin");
        std::stringstream dirs(real_path_);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            for (const std::string& tool : kTools) {
                const std::string stand_in = stand_ins_ / ("bin/" + tool);
                if (!fs::exists(dir + "/" + tool) || fs::exists(stand_in)) continue;
                write_file(stand_in, kStandIn);
                ASSERT_EQ(::chmod(stand_in.c_str(), 0755), 0);
            }
        }
    }

    RunOptions options(int stage) const {
        RunOptions o;
        o.cwd = work();
        o.env = {{"PATH", stand_ins_ / "bin" + ":" + real_path_},
                 {"STAGE_DIR", stand_ins_.path()},
                 {"STAGE_AT", std::to_string(stage)},
                 {"STAGE_REAL_PATH", real_path_},
                 {"TMPDIR", tmp_.path()},
                 {"FAKE_GH_LOG", gh_ / "log"},
                 {"FAKE_GH_SCENARIO", gh_ / "scenario"},
                 {"FAKE_GH_STORE", gh_ / "store"},
                 {"CARGO_REGISTRY_TOKEN", "crates-stage-token"}};
        return o;
    }

    void reset(const std::function<void()>& prepare) {
        for (const auto& e : fs::directory_iterator(gh_.path())) fs::remove_all(e.path());
        fs::create_directories(gh_ / "scenario");
        for (const char* f : {"calls", "child", "grandchild"}) fs::remove(stand_ins_ / f);
        write_file(stand_ins_ / "count", "0\n");
        if (prepare) prepare();
    }

    // Runs args with no signal and returns how many children it started. (A doctor report
    // with findings ends with status 1; only a run that ends as it should is counted.)
    int children_of(const std::vector<std::string>& args, const std::function<void()>& prepare) {
        reset(prepare);
        auto r = run_tarnwick(args, home(), options(0));
        EXPECT_TRUE(r.exit_code == 0 || (args[0] == "doctor" && r.exit_code == 1)) << r.err;
        return std::stoi(read_file(stand_ins_ / "count"));
    }

    // A run of args signalled at each of its children in turn.
    void expect_every_stage_stopped(const std::vector<std::string>& args,
                                    const std::function<void()>& prepare = {},
                                    const std::function<void()>& after = {}) {
        const int children = children_of(args, prepare);
        EXPECT_GT(children, 0);
        for (int stage = 1; stage <= children; ++stage) {
            reset(prepare);
            const int pid = start_tarnwick(args, home(), options(stage), stand_ins_ / "out",
                                           stand_ins_ / "err");
            // A run that is not stopped would wait for its sleep 300; it fails the test
            // instead of hanging it.
            int status = 0, polls = 0;
            while (::waitpid(pid, &status, WNOHANG) == 0 && ++polls < 3000) ::usleep(10000);
            if (polls >= 3000) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "not stopped at stage " << stage;
            }
            const std::string at = read_file_if_exists(stand_ins_ / "calls").value_or("");
            SCOPED_TRACE("stage " + std::to_string(stage) + ", calls:\n" + at);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)
                << status << "\n"
                << read_file(stand_ins_ / "err");
            for (const char* which : {"child", "grandchild"}) {
                const auto pid_text = read_file_if_exists(stand_ins_ / which);
                ASSERT_TRUE(pid_text.has_value()) << which;
                EXPECT_TRUE(ends_soon(std::stoi(*pid_text))) << which << " still running";
            }
            EXPECT_EQ(directory_entries(tmp_.path()), std::vector<std::string>{});
            EXPECT_EQ(std::stoi(read_file(stand_ins_ / "count")), stage) << "started after";
            if (after) after();
        }
    }

    TempDir stand_ins_, tmp_, gh_;
    std::string real_path_;
};

}  // namespace

TEST_F(SignalStages, New) {
    expect_every_stage_stopped({"new", "demo", "-o", "json"},
                               [this] { fs::remove_all(work("demo")); });
}

TEST_F(SignalStages, Secrets) {
    expect_every_stage_stopped({"secrets", "owner/tool", "-o", "json"});
}

TEST_F(SignalStages, UpdateAndItsDryRun) {
    const std::string demo = work("demo");
    const auto git = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", demo});
        auto r = run_program("git", args, default_env(home()), {});
        return r.out + r.err;
    };
    const auto state = [&] {
        return git({"rev-parse", "HEAD"}) +
               git({"status", "--porcelain", "--untracked-files=all", "--ignored"});
    };
    // A project whose ORIG_HEAD is the user's (an earlier reset), and a file git ignores.
    std::string before, head, orig_head;
    const auto earlier = [&] {
        fs::remove_all(demo);
        make_earlier_project(demo, home());
        write_file(demo + "/NOTES.md", "notes\n");
        git({"add", "NOTES.md"});
        git({"commit", "-q", "-m", "notes"});
        git({"update-ref", "ORIG_HEAD", "HEAD^"});
        write_file(demo + "/.git/info/exclude", "scratch.txt\n");
        write_file(demo + "/scratch.txt", "mine\n");
        before = state();
        head = git({"rev-parse", "HEAD"});
        orig_head = git({"rev-parse", "ORIG_HEAD"});
    };
    // Wherever the update stopped, the project is as it was (ORIG_HEAD too, unless the update
    // committed), or the next update names the one command that makes it so, and it does.
    const auto way_back = [&] {
        if (fs::exists(demo + "/.git/MERGE_HEAD")) {
            auto refused = run_tarnwick({"update", "demo", "-o", "json"}, home(), options(0));
            EXPECT_EQ(refused.exit_code, 2);
            const bool reset = refused.err.find("`git reset --hard`") != std::string::npos;
            EXPECT_TRUE(reset || refused.err.find("`git merge --abort`") != std::string::npos)
                << refused.err;
            git(reset ? std::vector<std::string>{"reset", "-q", "--hard"}
                      : std::vector<std::string>{"merge", "--abort"});
            EXPECT_FALSE(fs::exists(demo + "/.git/MERGE_HEAD"));
        } else if (git({"rev-parse", "HEAD"}) != head) {
            EXPECT_EQ(git({"rev-parse", "ORIG_HEAD"}), head);
            git({"reset", "-q", "--hard", "ORIG_HEAD"});
        } else {
            EXPECT_EQ(git({"rev-parse", "ORIG_HEAD"}), orig_head);
        }
        EXPECT_EQ(state(), before);
        EXPECT_EQ(read_file(demo + "/scratch.txt"), "mine\n");
    };
    expect_every_stage_stopped({"update", "demo", "--dry-run", "-o", "json"}, earlier, way_back);
    expect_every_stage_stopped({"update", "demo", "-o", "json"}, earlier, way_back);
}

TEST_F(SignalStages, Doctor) {
    make_earlier_project(work("demo"), home());
    expect_every_stage_stopped({"doctor", "owner/demo", "--project", "demo", "-o", "json"});
}

// The process runner against real children (sh, printf, head): draining, decoding, input.
#include "process/runner.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "core/redaction.hpp"
#include "process/child_hook.hpp"
#include "support/processes.hpp"
#include "support/scoped_env.hpp"

using namespace tarnwick;
using tarnwick::testing::has_unreaped_child;

namespace {
ChildOutput sh(const std::string& script, std::optional<std::string> input = std::nullopt) {
    auto r = run_child({.program = "sh", .args = {"-c", script}, .input = std::move(input)});
    EXPECT_TRUE(r.ok());
    return r.ok() ? r.value() : ChildOutput{};
}
}  // namespace

TEST(Runner, LargeStderrBeforeStdoutDoesNotBlock) {
    auto out = sh("head -c 1048576 /dev/zero | tr '\\0' e >&2; echo done");
    EXPECT_TRUE(out.success);
    EXPECT_EQ(out.stdout_text, "done\n");
    EXPECT_EQ(out.stderr_text.size(), 1048576u);
    EXPECT_EQ(out.stderr_text.find_first_not_of('e'), std::string::npos);
}

TEST(Runner, InvalidUtf8BecomesReplacementCharacters) {
    auto out = sh("printf 'a\\377b'; printf '\\342\\202' >&2");
    EXPECT_EQ(out.stdout_text,
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(out.stderr_text, "\xEF\xBF\xBD");
}

TEST(Runner, FailureWithNoOutput) {
    auto out = sh("exit 1");
    EXPECT_FALSE(out.success);
    EXPECT_EQ(out.stdout_text, "");
    EXPECT_EQ(out.stderr_text, "");
    EXPECT_EQ(tool_error("gh", out.stderr_text).message(), "gh: ");
}

TEST(Runner, KilledBySignalIsNotSuccess) {
    auto out = sh("kill -9 $$");
    EXPECT_FALSE(out.success);
}

TEST(Runner, StdinIsNullDeviceWithoutInputAndAPipeWithEmptyInput) {
    // -ef: the same file (device and inode), on every system with /dev/stdin.
    const std::string which =
        "cat; [ /dev/stdin -ef /dev/null ] && echo null; [ -p /dev/stdin ] && echo pipe; true";
    EXPECT_EQ(sh(which).stdout_text, "null\n");
    EXPECT_EQ(sh(which, std::string()).stdout_text, "pipe\n");
}

TEST(Runner, InputReachesTheChildWhileItWritesMuch) {
    // The child writes 1 MiB before reading: input must be fed while output is drained.
    std::string input(300000, 'x');
    auto out = sh("head -c 1048576 /dev/zero; wc -c", input);
    EXPECT_TRUE(out.success);
    EXPECT_EQ(out.stdout_text.substr(1048576), "300000\n");
}

TEST(Runner, ArgumentsArriveUnchanged) {
    auto r = run_child({.program = "printf", .args = {"[%s]", "a b", "\"q\" 'x'", "", "$HOME"}});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->stdout_text, "[a b][\"q\" 'x'][][$HOME]");
}

TEST(Runner, WorkingDirectory) {
    auto r = run_child({.program = "pwd", .dir = "/usr"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->stdout_text, "/usr\n");
}

TEST(Runner, MissingProgram) {
    auto r = run_child({.program = "tarnwick-no-such-program", .args = {"x"}});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().text(), "No such file or directory (os error 2)");

    auto tool = run_tool("tarnwick-no-such-program", {"x"});
    ASSERT_FALSE(tool.ok());
    EXPECT_EQ(tool.error().message(),
              "tarnwick-no-such-program: No such file or directory (os error 2)");
    EXPECT_EQ(tool.error().kind(), ErrorKind::Backend);
}

// One rule for what a failed git said, whether the caller drops the output (run_git) or reads
// it (git_stdout): its stderr, else its stdout, else how it ended.
TEST(Runner, GitFailuresBecomeGitErrors) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string message;  // the prefix when long is set
        bool long_text = false;
    };
    const auto alias = [](const std::string& script) {
        return std::vector<std::string>{"-c", "alias.x=!" + script, "x"};
    };
    const std::vector<Case> cases = {
        {"git's own refusal",
         {"tarnwick-no-such-subcommand"},
         "git: git: 'tarnwick-no-such-subcommand' is not a git command. See 'git --help'."},
        {"stderr before stdout", alias("echo out; echo err >&2; exit 1"), "git: err"},
        {"stdout when stderr is empty", alias("echo '  said on stdout  '; exit 1"),
         "git: said on stdout"},
        {"silent", alias("exit 4"), "git: exited with status 4 and printed nothing"},
        {"killed, silent", alias("kill -KILL $PPID"), "git: killed by signal SIGKILL"},
        {"killed after a word", alias("echo bye >&2; kill -TERM $PPID"),
         "git: bye (killed by signal SIGTERM)"},
        {"5000 bytes of stdout", alias("head -c 5000 /dev/zero | tr '\\0' o; exit 1"),
         "git: [904 earlier bytes of stdout cut] ooo", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto status = run_git("/", c.args);
        auto output = git_stdout({"/", {}}, c.args);
        ASSERT_FALSE(status.ok());
        ASSERT_FALSE(output.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Git);
        EXPECT_EQ(status.error().message(), output.error().message());
        if (c.long_text) {
            EXPECT_EQ(status.error().message().rfind(c.message, 0), 0u);
            EXPECT_EQ(status.error().message().size(), 4096 + c.message.size() - 3);
        } else {
            EXPECT_EQ(status.error().message(), c.message);
        }
    }
    EXPECT_TRUE(run_git("/", {"--version"}).ok());
    auto unchecked = run_git_unchecked({"/", {}}, alias("echo kept; exit 1"));
    ASSERT_TRUE(unchecked.ok());
    EXPECT_EQ(unchecked->exit_code, 1);
    EXPECT_EQ(unchecked->stdout_text, "kept\n");
}

// Extra variables replace inherited ones of the same name (and only those) or are added.
TEST(Runner, ExtraEnvironmentReplacesOrAdds) {
    tarnwick::testing::ScopedEnv env(
        {{"TARNWICK_RUNNER_A", "inherited"}, {"TARNWICK_RUNNER_AB", "kept"}});
    auto r = run_child({.program = "sh",
                        .args = {"-c",
                                 "printf '%s|%s|%s' \"$TARNWICK_RUNNER_A\" "
                                 "\"$TARNWICK_RUNNER_AB\" \"$TARNWICK_RUNNER_NEW\""},
                        .extra_env = {"TARNWICK_RUNNER_A=replaced", "TARNWICK_RUNNER_NEW="}});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->stdout_text, "replaced|kept|");
    auto inherited =
        run_child({.program = "sh", .args = {"-c", "printf '%s' \"$TARNWICK_RUNNER_A\""}});
    ASSERT_TRUE(inherited.ok());
    EXPECT_EQ(inherited->stdout_text, "inherited");
}

TEST(Runner, AChildThatStopsReadingIsReportedAsItEnded) {
    // More input than a pipe holds, so the write meets a closed reader. The program ignores
    // SIGPIPE for its whole run; so does this test while it runs.
    auto* previous = ::signal(SIGPIPE, SIG_IGN);
    const std::string input(300000, 's');
    struct Case {
        const char* name;
        std::string script;
        bool success;
        std::string stderr_text, message;
    };
    const std::vector<Case> cases = {
        {"rejects unread", "echo 'HTTP 401: Bad credentials' >&2; exit 1", false,
         "HTTP 401: Bad credentials\n", "HTTP 401: Bad credentials"},
        {"reads a little", "head -c 10 >/dev/null; echo partial >&2; exit 4", false, "partial\n",
         "partial"},
        {"closes stdin, then talks", "exec 0<&-; sleep 0; echo later; echo done >&2", true,
         "done\n", "done"},
        {"accepts unread", "exit 0", true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto out = sh(c.script, input);
        EXPECT_EQ(out.success, c.success);
        EXPECT_EQ(out.stderr_text, c.stderr_text);
        EXPECT_EQ(tool_error("gh", out.stderr_text).message(), "gh: " + c.message);
    }
    ::signal(SIGPIPE, previous);
}

// What a message says about a child that failed: its stderr, cut to its last 4 KiB with a
// note, every line of a secret redacted, and the name of a signal that killed it.
TEST(Runner, FailureDetailsAreBoundedRedactedAndNameTheSignal) {
    add_secret_with_lines("tok-line-one\ntok-line-two");
    struct Case {
        const char* what;
        std::string script;
        std::string message;  // exact, or the prefix when tail is set
        std::string tail;
    };
    const std::vector<Case> cases = {
        {"killed, silent", "kill -KILL $$", "sh: killed by signal SIGKILL", ""},
        {"killed after a word", "echo 'gave up' >&2; kill -TERM $$",
         "sh: gave up (killed by signal SIGTERM)", ""},
        {"exit 1, silent", "exit 1", "sh: ", ""},
        {"a token echoed line by line",
         "echo 'first tok-line-two' >&2; echo 'then tok-line-one' >&2; exit 1",
         "sh: first [redacted]\nthen [redacted]", ""},
        {"2 MB of stderr",
         "head -c 2000000 /dev/zero | tr '\\0' e >&2; echo ' the end' >&2; exit 3",
         "sh: [1995912 earlier bytes of stderr cut] ", " the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto run = run_tool_checked("sh", {"-c", c.script});
        ASSERT_FALSE(run.ok());
        const std::string message = run.error().message();
        if (c.tail.empty()) {
            EXPECT_EQ(message, c.message);
            continue;
        }
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message.substr(0, 80);
        EXPECT_TRUE(message.ends_with(c.tail)) << message.substr(message.size() - 40);
        EXPECT_LE(message.size(), c.message.size() + 4096);
    }
    clear_secrets();
}

TEST(Runner, SignalNames) {
    EXPECT_EQ(signal_name(SIGKILL), "SIGKILL");
    EXPECT_EQ(signal_name(SIGQUIT), "SIGQUIT");
    EXPECT_EQ(signal_name(0), "signal 0");
    EXPECT_EQ(signal_name(99), "signal 99");
#if defined(__GLIBC__)
    // The program's own table against the C library's, for every signal the library names
    // (SIGIO, which glibc calls SIGPOLL, and two signals macOS lacks aside).
    for (int sig = 1; sig < 32; ++sig) {
        SCOPED_TRACE(sig);
        const char* abbrev = ::sigabbrev_np(sig);
        if (abbrev != nullptr && sig != SIGSTKFLT && sig != SIGPWR && sig != SIGIO) {
            EXPECT_EQ(signal_name(sig), "SIG" + std::string(abbrev));
        }
    }
#endif
}

TEST(Runner, AnEnvironmentEntryWithoutANameIsRefusedNotAppliedToEveryVariable) {
    for (const std::string entry : {"TARNWICK_RUNNER_BARE", "", "=value"}) {
        SCOPED_TRACE(entry);
        auto r = run_child({.program = "sh",
                            .args = {"-c", "printf '%s' \"$HOME\""},
                            .extra_env = {"TARNWICK_RUNNER_OK=1", entry}});
        ASSERT_FALSE(r.ok()) << r->stdout_text;
        EXPECT_EQ(r.error().code, EINVAL);
    }
}

namespace {

int g_fail_with = 0;

int failing_poll(pollfd*, nfds_t, const timespec*, const sigset_t*) {
    errno = g_fail_with;
    return -1;
}
ssize_t failing_read(int, void*, std::size_t) {
    errno = g_fail_with;
    return -1;
}
ssize_t failing_write(int, const void*, std::size_t) {
    errno = g_fail_with;
    return -1;
}

}  // namespace

// A poll, read or write that fails ends the run with that error, and the child is stopped and
// reaped first: it is neither left running nor left a zombie, and a read error is not taken
// for the end of the output.
TEST(Runner, AnIoErrorWhileTheChildRunsIsReportedAndTheChildIsReaped) {
    struct Case {
        const char* name;
        RunnerIo io;
        std::optional<std::string> input;
    };
    const Case cases[] = {
        {"poll", {failing_poll, ::read, ::write}, std::nullopt},
        {"read", {poll_with_mask, failing_read, ::write}, std::nullopt},
        {"write", {poll_with_mask, ::read, failing_write}, "input"},
    };
    g_fail_with = EIO;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(has_unreaped_child());
        const RunnerIo previous = set_runner_io(c.io);
        // The child would outlive the test if nobody stopped it.
        auto r = run_child(
            {.program = "sh", .args = {"-c", "echo out; exec sleep 30"}, .input = c.input});
        set_runner_io(previous);
        ASSERT_FALSE(r.ok()) << r->stdout_text;
        EXPECT_EQ(r.error().code, EIO);
        EXPECT_FALSE(has_unreaped_child());
    }
}

// The bounds a caller may set: a child that outlives its time is killed and reaped, whether it
// holds its output open or has closed it; output past the cap is drained but not kept.
TEST(Runner, LimitsBoundTheWaitAndTheOutputKept) {
    struct Case {
        const char* script;
        RunLimits limits;
        bool timed_out;
        bool cut;
        std::size_t kept;  // bytes of stdout kept
        int exit_code;
    };
    const Case cases[] = {
        {"sleep 30", {200, 0}, true, false, 0, -1},
        {"exec >&- 2>&-; sleep 30", {200, 0}, true, false, 0, -1},
        {"yes", {300, 1000}, true, true, 1000, -1},
        {"head -c 5000 /dev/zero; exit 3", {0, 1000}, false, true, 1000, 3},
        {"printf abc", {5000, 1000}, false, false, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        auto r = run_child({.program = "sh", .args = {"-c", c.script}, .limits = c.limits});
        ASSERT_TRUE(r.ok()) << r.error().text();
        EXPECT_EQ(r->timed_out, c.timed_out);
        EXPECT_EQ(r->output_cut, c.cut);
        EXPECT_EQ(r->stdout_text.size(), c.kept);
        EXPECT_EQ(r->exit_code, c.exit_code);
        EXPECT_EQ(r->success, c.exit_code == 0);
        if (c.timed_out) {
            EXPECT_EQ(r->signal, SIGKILL);
        }
    }
}

// Default limits bound a call that gives none, and a call's own limits win over them.
TEST(Runner, DefaultLimitsBoundCallsWithoutTheirOwn) {
    const RunLimits previous = set_default_run_limits({200, 4});
    auto bounded = run_child({.program = "sh", .args = {"-c", "printf abcdef; exec sleep 30"}});
    auto own =
        run_child({.program = "sh", .args = {"-c", "printf abcdef"}, .limits = RunLimits{5000, 0}});
    set_default_run_limits(previous);
    auto cleared = run_child({.program = "sh", .args = {"-c", "printf abcdef"}});
    ASSERT_TRUE(bounded.ok() && own.ok() && cleared.ok());
    EXPECT_TRUE(bounded->timed_out);
    EXPECT_EQ(bounded->stdout_text, "abcd");
    EXPECT_FALSE(own->timed_out);
    EXPECT_EQ(own->stdout_text, "abcdef");
    EXPECT_EQ(cleared->stdout_text, "abcdef");
}

// The test support library itself: a file that cannot be read fails the test, and the child
// harness gives the child exactly the descriptors, directory, environment and input it was
// asked for, and reports how the child ended.
#include "support/harness.hpp"

#include <fcntl.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

using namespace tarnwick::testing;

namespace {

RunResult sh(const std::string& script, const RunOptions& options = {}) {
    static const TempDir home;
    return run_program("/bin/sh", {"-c", script}, default_env(home.path()), options);
}

}  // namespace

TEST(SupportFiles, ReadingAMissingOrUnreadableFileFailsTheTest) {
    TempDir dir;
    const std::string missing = dir / "never-written";
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(read_file(missing), ""), "never-written");
    EXPECT_NONFATAL_FAILURE(read_file(dir.path()), "Is a directory");
}

TEST(SupportFiles, ReadIfExistsTellsAbsenceFromAnEmptyFile) {
    TempDir dir;
    write_file(dir / "sub/empty", "");
    write_file(dir / "sub/bytes", std::string("a\0b\n", 4));
    EXPECT_EQ(read_file_if_exists(dir / "absent"), std::nullopt);
    EXPECT_EQ(read_file_if_exists(dir / "sub/empty"), std::optional<std::string>(""));
    EXPECT_EQ(read_file(dir / "sub/bytes"), std::string("a\0b\n", 4));
}

TEST(SupportFiles, WritingWhereNoFileCanBeFailsTheTest) {
    TempDir dir;
    write_file(dir / "blocker", "x");
    EXPECT_NONFATAL_FAILURE(write_file(dir / "blocker/inside", "y"), "blocker");
}

TEST(SupportEnv, ScopedEnvRestoresSetAndUnsetVariables) {
    ::setenv("TARNWICK_SUPPORT_SET", "before", 1);
    ::unsetenv("TARNWICK_SUPPORT_UNSET");
    {
        ScopedEnv env({{"TARNWICK_SUPPORT_SET", std::nullopt}, {"TARNWICK_SUPPORT_UNSET", "now"}});
        EXPECT_EQ(std::getenv("TARNWICK_SUPPORT_SET"), nullptr);
        EXPECT_STREQ(std::getenv("TARNWICK_SUPPORT_UNSET"), "now");
    }
    EXPECT_STREQ(std::getenv("TARNWICK_SUPPORT_SET"), "before");
    EXPECT_EQ(std::getenv("TARNWICK_SUPPORT_UNSET"), nullptr);
    ::unsetenv("TARNWICK_SUPPORT_SET");
}

TEST(Harness, ReportsExitStatusOrTheEndingSignal) {
    struct Case {
        std::string script;
        int exit_code;
        int signal;
    };
    for (const Case& c : {Case{"exit 0", 0, 0}, Case{"exit 3", 3, 0},
                          Case{"kill -TERM $$", -1, SIGTERM}, Case{"kill -KILL $$", -1, SIGKILL}}) {
        SCOPED_TRACE(c.script);
        auto r = sh(c.script);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(r.signal, c.signal);
    }
}

TEST(Harness, InputReachesStdinAndAbsentInputIsDevNull) {
    RunOptions with_input;
    with_input.input = std::string("line\n\0tail", 10);
    EXPECT_EQ(sh("cat", with_input).out, *with_input.input);
    EXPECT_EQ(sh("cat; [ /dev/stdin -ef /dev/null ] && echo /dev/null").out, "/dev/null\n");
}

// The child answers before it has read everything: input and output must flow together.
TEST(Harness, LargeInputAndOutputFlowAtOnce) {
    RunOptions big;
    big.input = std::string(1 << 20, 'i');
    auto r = sh("head -c 1048576 /dev/zero | tr '\\0' e >&2; cat", big);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, std::string(1 << 20, 'e'));
    EXPECT_EQ(r.out, *big.input);
}

TEST(Harness, InputTheChildNeverReadsIsNoFailure) {
    RunOptions unread;
    unread.input = std::string(1 << 20, 'x');
    auto r = sh("exec 0<&-; echo done", unread);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "done\n");
}

TEST(Harness, StdoutOnATerminalOnlyWhenAsked) {
    RunOptions tty;
    tty.use_pty = true;
    auto on_tty = sh("test -t 1 && printf 'a\\nb\\n'; test -t 2 || echo err-is-a-pipe >&2", tty);
    EXPECT_EQ(on_tty.exit_code, 0);
    EXPECT_EQ(on_tty.out, "a\nb\n");  // the terminal's "\r\n" comes back as "\n"
    EXPECT_EQ(on_tty.err, "err-is-a-pipe\n");
    EXPECT_EQ(sh("test -t 1").exit_code, 1);
}

TEST(Harness, ClosedDescriptorsAndAGoneReader) {
    RunOptions closed;
    closed.close_stdout_and_stderr = true;
    EXPECT_EQ(
        sh("test -e /dev/fd/1 && exit 1; test -e /dev/fd/2 && exit 2; exit 0", closed).exit_code,
        0);
    EXPECT_EQ(sh("test -e /dev/fd/1 && test -e /dev/fd/2").exit_code, 0);

    // The child gets SIGPIPE back at its default, whatever the test process does with it.
    RunOptions gone;
    gone.stdout_reader_closed = true;
    auto r = sh("echo lost; echo unreachable >&2", gone);
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.err, "");
}

TEST(Harness, OnlyTheThreeStandardDescriptorsAreInherited) {
    const int leaked = ::open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 3);
    auto r = sh("test -e /dev/fd/" + std::to_string(leaked));
    ::close(leaked);
    EXPECT_EQ(r.exit_code, 1);
}

TEST(Harness, RunsInTheGivenDirectoryWithExactlyTheGivenEnvironment) {
    TempDir dir;
    RunOptions in_dir;
    in_dir.cwd = dir.path();
    auto r = run_program("/bin/sh", {"-c", "pwd; env | sort"},
                         {{"PATH", "/usr/bin:/bin"}, {"ONLY", "this"}}, in_dir);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, dir.path() + "\nONLY=this\nPATH=/usr/bin:/bin\nPWD=" + dir.path() + "\n");
}

// A bare name is looked up on the child's PATH, not on the test process's own.
TEST(Harness, BareNamesAreFoundOnTheChildsPath) {
    TempDir bin;
    write_file(bin / "tarnwick-harness-probe", "#!/bin/sh\necho \"probe $1\"\n");
    write_file(bin / "not-executable/tarnwick-harness-probe", "#!/bin/sh\necho wrong\n");
    ASSERT_EQ(::chmod((bin / "tarnwick-harness-probe").c_str(), 0755), 0);
    const std::string path = (bin / "not-executable") + ":" + bin.path() + ":/usr/bin:/bin";
    auto r = run_program("tarnwick-harness-probe", {"arg"}, {{"PATH", path}}, {});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "probe arg\n");
}

TEST(Harness, AProgramThatCannotStartFailsTheTest) {
    RunResult r;
    EXPECT_NONFATAL_FAILURE(
        r = run_program("tarnwick-no-such-program", {}, {{"PATH", "/nonexistent"}}, {}),
        "tarnwick-no-such-program");
    EXPECT_EQ(r.exit_code, 127);
    RunOptions nowhere;
    nowhere.cwd = "/nonexistent/dir";
    EXPECT_NONFATAL_FAILURE(r = run_program("/bin/true", {}, {}, nowhere),
                            "No such file or directory");
}

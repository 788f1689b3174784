// The entry point seen from outside: envelopes, help, version, schema, broken pipes.
#include <gtest/gtest.h>

#include "support/harness.hpp"

using namespace tarnwick::testing;

namespace {
const char* kUsageHint = "\"hint\":\"see `tarnwick --help` or `tarnwick schema`\"";
}

TEST(EntryPoint, NoArgumentsIsTheMissingCommandEnvelope) {
    TempDir home;
    for (auto args : std::vector<std::vector<std::string>>{{}, {"-o", "json"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        auto r = run_tarnwick(args, home.path());
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
                  "schema`\",\"kind\":\"usage\",\"message\":\"no command given (try `tarnwick "
                  "new <name>`)\"}}\n");
    }
}

TEST(EntryPoint, HelpAndVersionGoToStdoutWithStatusZero) {
    TempDir home;
    auto version = run_tarnwick({"-V"}, home.path());
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, "tarnwick 0.2.0\n");
    EXPECT_EQ(version.err, "");
    for (auto args : std::vector<std::vector<std::string>>{
             {"--help"}, {"new", "--help"}, {"help", "check"}, {"secrets", "-h"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        auto r = run_tarnwick(args, home.path());
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_NE(r.out.find("Usage: tarnwick"), std::string::npos);
        EXPECT_TRUE(r.out.ends_with('\n'));
        EXPECT_EQ(r.err, "");
    }
}

TEST(EntryPoint, ParserFailureBecomesOneLineUsageEnvelope) {
    TempDir home;
    auto r = run_tarnwick({"frobnicate"}, home.path());
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("{\"error\":{\"exit_code\":3,") + kUsageHint +
                         ",\"kind\":\"usage\",\"message\":\"error: unrecognized subcommand "
                         "'frobnicate'\\n\\nUsage: tarnwick [OPTIONS] [COMMAND]\\n\\nFor more "
                         "information, try '--help'.\"}}\n");
}

TEST(EntryPoint, SchemaIsTheSameWhateverTheOutputOption) {
    TempDir home;
    auto plain = run_tarnwick({"schema"}, home.path());
    ASSERT_EQ(plain.exit_code, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.out.rfind("{\n  \"commands\": [\n", 0), 0u);
    EXPECT_EQ(plain.out.substr(plain.out.size() - 3), "\n}\n");
    auto ordoval = plain.out.find("\n  \"ordoval\": \"0.3\",\n");
    EXPECT_LT(plain.out.find("\n  \"name\": \"tarnwick\",\n"), ordoval);
    EXPECT_LT(ordoval, plain.out.find("\n  \"output\": {\n"));
    for (auto args : std::vector<std::vector<std::string>>{{"--output", "text", "schema"},
                                                           {"schema", "-o", "json"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        EXPECT_EQ(run_tarnwick(args, home.path()).out, plain.out);
    }
    RunOptions tty;
    tty.use_pty = true;
    EXPECT_EQ(run_tarnwick({"schema"}, home.path(), tty).out, plain.out);
}

TEST(EntryPoint, SchemaIntoAGoneReaderFailsWithADiagnosticNotASignal) {
    TempDir home;
    RunOptions gone;
    gone.stdout_reader_closed = true;
    auto r = run_tarnwick({"schema"}, home.path(), gone);
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"failed printing to "
              "stdout: Broken pipe (os error 32)\"}}\n");
}

TEST(EntryPoint, CompletionsIgnoreTheOutputOption) {
    TempDir home;
    for (const char* shell : {"bash", "elvish", "fish", "powershell", "zsh"}) {
        SCOPED_TRACE(shell);
        auto a = run_tarnwick({"completions", shell}, home.path());
        auto b = run_tarnwick({"-o", "json", "completions", shell, "-o", "text"}, home.path());
        EXPECT_EQ(a.exit_code, 0);
        EXPECT_FALSE(a.out.empty());
        EXPECT_EQ(a.out, b.out);
    }
}

// A document whose loss would look like an answer (a check report, the contract, a completion
// script that a shell would source truncated) fails with the io envelope when stdout is full;
// the reports of work already done do not.
TEST(EntryPoint, AFailedWriteOfAnAnswerIsAnIoEnvelope) {
    struct Case {
        std::vector<std::string> args;
        bool answer;
    };
    const std::vector<Case> cases = {
        {{"check", "demo"}, true},
        {{"schema"}, true},
        {{"completions", "bash"}, true},
        {{"completions", "zsh"}, true},
        {{"new", "demo", "--no-git"}, false},
        {{"secrets", "acme/tool", "--dry-run"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1 % c.args.size()]);
        TempDir home;
        std::string script = "exec \"$0\"";
        for (std::size_t i = 0; i < c.args.size(); ++i)
            script += " \"$" + std::to_string(i + 1) + "\"";
        script += " >/dev/full";
        std::vector<std::string> argv = {"-c", script, TARNWICK_BIN};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        RunOptions options;
        options.cwd = home.path();
        auto r = run_program("/bin/sh", argv, default_env(home.path()), options);
        if (!c.answer) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(r.err, "");
            continue;
        }
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.err,
                  "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"failed printing to "
                  "stdout: No space left on device (os error 28)\"}}\n");
    }
}

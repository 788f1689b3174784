// `tarnwick check` end to end: text on a terminal, JSON on a pipe, every kind of occupant
// of the destination, a lossy non-UTF-8 destination, and the fatal report write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scaffold_fixture.hpp"

using namespace tarnwick::testing;

namespace {
class CheckCommand : public ScaffoldRun {};

RunOptions on_terminal() {
    RunOptions options;
    options.use_pty = true;
    return options;
}
}  // namespace

TEST_F(CheckCommand, FreeNameAsTextOnATerminalAndJsonOnAPipe) {
    auto text = tarnwick({"check", "demo"}, on_terminal());
    EXPECT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out, "./demo: available\n");
    auto json = tarnwick({"check", "demo"});
    EXPECT_EQ(json.exit_code, 0);
    EXPECT_EQ(json.out, "{\"available\":true,\"destination\":\"./demo\",\"name\":\"demo\"}\n");
    EXPECT_EQ(json.err, "");
    auto forced = tarnwick({"check", "demo", "-o", "json"}, on_terminal());
    EXPECT_EQ(forced.out, json.out);
}

TEST_F(CheckCommand, AnyOccupantMakesTheDestinationTaken) {
    ASSERT_EQ(tarnwick({"new", "demo", "--no-git"}).exit_code, 0);
    auto after_new = tarnwick({"check", "demo", "-o", "text"});
    EXPECT_EQ(after_new.exit_code, 0);
    EXPECT_EQ(after_new.out, "./demo: already exists\n");

    write_file(work("file"), "x");
    EXPECT_EQ(tarnwick({"check", "file"}).out,
              "{\"available\":false,\"destination\":\"./file\",\"name\":\"file\"}\n");

    ASSERT_EQ(::symlink(work("demo").c_str(), work("link").c_str()), 0);
    EXPECT_EQ(tarnwick({"check", "link", "-o", "text"}).out, "./link: already exists\n");
}

TEST_F(CheckCommand, DanglingSymlinkAndMissingIntoAreAvailable) {
    ASSERT_EQ(::symlink(work("nowhere").c_str(), work("demo").c_str()), 0);
    EXPECT_EQ(tarnwick({"check", "demo", "-o", "text"}).out, "./demo: available\n");

    auto r = tarnwick({"check", "demo", "--into", "no/such/dir"});
    EXPECT_EQ(r.out,
              "{\"available\":true,\"destination\":\"no/such/dir/demo\",\"name\":\"demo\"}\n");
    EXPECT_FALSE(exists(work("no")));
}

TEST_F(CheckCommand, IntoIsJoinedWithOneSlash) {
    EXPECT_EQ(tarnwick({"check", "demo", "--into", "", "-o", "text"}).out, "demo: available\n");
    EXPECT_EQ(tarnwick({"check", "demo", "--into", "x/", "-o", "text"}).out, "x/demo: available\n");
}

TEST_F(CheckCommand, InvalidNameIsAUsageErrorWithNothingOnStdout) {
    write_file(work("Demo"), "x");  // never looked at
    auto r = tarnwick({"check", "Demo"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"invalid crate name \\\"Demo\\\": use "
              "lowercase letters, digits, '-' or '_', starting with a letter\"}}\n");
}

TEST_F(CheckCommand, NonUtf8IntoIsShownLossily) {
    const std::string into = "dir\xFF\xFE";
    auto json = tarnwick({"check", "demo", "--into", into});
    EXPECT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\"available\":true,\"destination\":\"dir\xEF\xBF\xBD\xEF\xBF\xBD/demo\","
              "\"name\":\"demo\"}\n");

    ASSERT_EQ(::mkdir(work(into).c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(work(into + "/demo").c_str(), 0755), 0);
    auto text = tarnwick({"check", "demo", "--into", into, "-o", "text"});
    EXPECT_EQ(text.exit_code, 0);
    EXPECT_EQ(text.out, "dir\xEF\xBF\xBD\xEF\xBF\xBD/demo: already exists\n");
}

TEST_F(CheckCommand, ReportWriteFailureIsFatal) {
    auto env = default_env(home());
    RunOptions options;
    options.cwd = work();
    auto r = run_program("/bin/sh", {"-c", "exec \"$0\" check demo >/dev/full", TARNWICK_BIN}, env,
                         options);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find("failed printing to stdout: No space left on device (os error 28)"),
              std::string::npos)
        << r.err;
}

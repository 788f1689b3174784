#include "core/error.hpp"

#include <gtest/gtest.h>

using tarnwick::CliError;
using tarnwick::envelope_line;

TEST(Envelope, UsageCarriesHintInByteOrder) {
    EXPECT_EQ(envelope_line(CliError::usage("no command given (try `tarnwick new <name>`)")),
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"no command given (try `tarnwick new "
              "<name>`)\"}}");
}

TEST(Envelope, ExistsNamesThePath) {
    CliError e = CliError::exists("./demo");
    EXPECT_EQ(e.exit_code(), 3);
    EXPECT_EQ(envelope_line(e),
              "{\"error\":{\"exit_code\":3,\"hint\":\"choose another name, or remove the existing "
              "directory\",\"kind\":\"exists\",\"message\":\"./demo already exists\"}}");
}

TEST(Envelope, IoAndGitHaveNoHint) {
    EXPECT_EQ(envelope_line(CliError::io("Permission denied (os error 13)")),
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"Permission denied (os "
              "error 13)\"}}");
    EXPECT_EQ(envelope_line(CliError::git("fatal: bad")),
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: fatal: bad\"}}");
}

TEST(Envelope, BackendTrimsDetailAndAlwaysNamesGhInTheHint) {
    CliError e = CliError::backend("ssh-keygen", "  key failed\n");
    EXPECT_EQ(e.message(), "ssh-keygen: key failed");
    EXPECT_EQ(e.kind(), ErrorKind::Backend);
    EXPECT_EQ(e.exit_code(), 2);
    EXPECT_EQ(*e.hint(), "ensure `gh` is installed and authenticated (`gh auth status`)");
    EXPECT_EQ(CliError::backend("gh", "").message(), "gh: ");
}

TEST(Envelope, EscapesOnlyQuoteBackslashAndControls) {
    std::string line = envelope_line(CliError::io("a\"b\\c\nd\x01/\x7f\xC3\xA9"));
    EXPECT_EQ(line,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"a\\\"b\\\\c\\nd\\u0001/"
              "\x7f\xC3\xA9\"}}");
    EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(Envelope, ConflictHasItsOwnExitCodeAndHint) {
    CliError e = CliError::conflict("stopped on conflicts in README.md");
    EXPECT_EQ(e.exit_code(), 4);
    EXPECT_EQ(envelope_line(e),
              "{\"error\":{\"exit_code\":4,\"hint\":\"resolve the conflicted files and `git "
              "commit` to finish, or `git merge --abort` to undo\",\"kind\":\"conflict\","
              "\"message\":\"stopped on conflicts in README.md\"}}");
}

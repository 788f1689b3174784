// Free-text values of `new` that would break a quoted literal in the generated files are
// refused; everything else passes as typed.
#include "answers/option_values.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/github_names.hpp"

using namespace tarnwick;

TEST(OptionValues, DescriptionAndAuthorAcceptOrdinaryText) {
    for (const std::string& text :
         std::vector<std::string>{"", "Caf\xC3\xA9 \xE2\x9C\x93 tool", "# not a comment",
                                  "{{name}}", "it's fine", "Ada <ada@example.com>"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(check_description(text).ok());
        EXPECT_TRUE(check_author(text, false).ok());
    }
}

TEST(OptionValues, DescriptionRefusesQuotesBackslashesControlsAndBrokenUtf8) {
    for (const std::string& text : std::vector<std::string>{
             "a\"b", "a\\b", "line\nbreak", "tab\there", std::string("nul\0x", 5), "del\x7F",
             "c1\xC2\x85", "cut \xC3", "stray \x80 byte"}) {
        SCOPED_TRACE(text);
        auto status = check_description(text);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
        EXPECT_EQ(status.error().exit_code(), 3);
    }
    EXPECT_EQ(check_description("a\"b").error().message(),
              "invalid --description \"a\\\"b\": quotes, backslashes and control characters "
              "would break the generated files");
}

TEST(OptionValues, AuthorMessageSaysWhereTheValueCameFrom) {
    EXPECT_EQ(check_author("A \\ B", false).error().message(),
              "invalid --author \"A \\\\ B\": quotes, backslashes and control characters would "
              "break the generated files");
    EXPECT_EQ(check_author("Jo \"JJ\" Doe <j@x.org>", true).error().message(),
              "invalid author \"Jo \\\"JJ\\\" Doe <j@x.org>\" from git config "
              "user.name/user.email: quotes, backslashes and control characters would break "
              "the generated files; pass --author");
}

TEST(OptionValues, OwnerFollowsGitHubAccountNames) {
    for (const std::string& owner : std::vector<std::string>{"kestrow", "a", "Acme-Tools", "x1-2-3",
                                                             "0day", std::string(39, 'z')}) {
        SCOPED_TRACE(owner);
        EXPECT_TRUE(check_owner(owner).ok());
    }
    for (const std::string& owner : std::vector<std::string>{
             "", "a/b", "a b", "a\tb",
             "a\xC2\xA0"
             "b",
             "a\"b", "a\\b", "my-org_2", "-acme", "acme-", "ac--me", "a.b", std::string(40, 'z'),
             "a;curl${IFS}x|sh;#", "$(id)", "`id`", "caf\xC3\xA9"}) {
        SCOPED_TRACE(owner);
        auto status = check_owner(owner);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
    }
    EXPECT_EQ(check_owner("a;b").error().message(),
              "invalid --owner \"a;b\": use a GitHub account name: 1 to 39 ASCII letters, "
              "digits or single hyphens, not starting or ending with a hyphen");
}

// Text that GitHub Actions or Ruby would evaluate where the description lands in the release
// workflow; everything else stays as typed.
TEST(OptionValues, DescriptionRefusesWhatTheReleaseWorkflowWouldEvaluate) {
    struct Case {
        const char* description;
        const char* message;  // empty: accepted
    };
    for (const Case& c : std::vector<Case>{
             {"leak ${{ secrets.HOMEBREW_TAP_DEPLOY_KEY }}",
              "invalid --description \"leak ${{ secrets.HOMEBREW_TAP_DEPLOY_KEY }}\": \"${{\" is "
              "refused, GitHub Actions would evaluate it in the release workflow"},
             {"${{github.token}}", "\"${{\" is refused"},
             {"run #{`id`}",
              "\"#{\" is refused, Ruby would interpolate it in the Homebrew formula"},
             {"#@ivar", "\"#@\" is refused"},
             {"#$0", "\"#$\" is refused"},
             {"#1 tool", ""},
             {"$HOME and ${HOME}", ""},
             {"{{owner}} {{name}}", ""},
             {"100% \xE2\x9C\x93", ""},
             {"${ {", ""},
             {"# {", ""},
             {"$", ""},
             {"#", ""},
         }) {
        SCOPED_TRACE(c.description);
        auto status = check_description(c.description);
        if (*c.message == '\0') {
            EXPECT_TRUE(status.ok());
            continue;
        }
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
        EXPECT_NE(status.error().message().find(c.message), std::string::npos)
            << status.error().message();
    }
}

// The author names the first commit; git strips these characters from a name's ends and
// refuses a name of nothing else.
TEST(OptionValues, CommitAuthorRefusesNamesGitRejects) {
    for (const char* author : {"Ada", "Ada <ada@example.com>", "<ada@example.com>", "", "  ",
                               "O'Brien", "A. <a@b>", "x., <y>"}) {
        SCOPED_TRACE(author);
        EXPECT_TRUE(check_commit_author(author, false).ok());
    }
    for (const char* author : {".", ".,", "'", "., <ada@example.com>", ";:<x@y>", "'. <x@y>"}) {
        SCOPED_TRACE(author);
        EXPECT_FALSE(check_commit_author(author, false).ok());
    }
    EXPECT_EQ(check_commit_author(". <a@b>", false).error().message(),
              "invalid --author \". <a@b>\": git refuses the commit name \".\", which is only "
              "punctuation");
    EXPECT_EQ(check_commit_author(".", true).error().message(),
              "invalid author \".\" from git config user.name/user.email: git refuses the commit "
              "name \".\", which is only punctuation; pass --author");
}

// Well-formed characters that still break a generated file are refused by name, in the
// description and in the author alike; their neighbours pass.
TEST(OptionValues, SeparatorsBidiControlsAndNonCharactersAreRefusedByName) {
    struct Case {
        const char* text;
        const char* refusal;  // empty: accepted
    };
    for (const Case& c : std::vector<Case>{
             {"a\xE2\x80\xA8"
              "b",
              "U+2028 is refused: YAML reads it as a line break"},
             {"a\xE2\x80\xA9"
              "b",
              "U+2029 is refused: YAML reads it as a line break"},
             {"\xE2\x80\xAA", "U+202A is refused: a bidirectional control"},
             {"abc\xE2\x80\xAE"
              "def",
              "U+202E is refused: a bidirectional control"},
             {"\xE2\x81\xA6", "U+2066 is refused: a bidirectional control"},
             {"\xE2\x81\xA9", "U+2069 is refused: a bidirectional control"},
             {"\xEF\xBF\xBF", "U+FFFF is refused: a Unicode non-character"},
             {"\xEF\xBF\xBE", "U+FFFE is refused: a Unicode non-character"},
             {"\xEF\xB7\x90", "U+FDD0 is refused: a Unicode non-character"},
             {"\xEF\xB7\xAF", "U+FDEF is refused: a Unicode non-character"},
             {"\xF4\x8F\xBF\xBF", "U+10FFFF is refused: a Unicode non-character"},
             {"\xE2\x80\xAF", ""},      // U+202F, a no-break space
             {"\xE2\x81\xA5", ""},      // U+2065, unassigned but no control
             {"\xEF\xBF\xBD", ""},      // U+FFFD
             {"\xEF\xB7\xB0", ""},      // U+FDF0
             {"\xF0\x9F\x98\x80", ""},  // an emoji
         }) {
        SCOPED_TRACE(c.text);
        for (bool description : {true, false}) {
            auto status = description ? check_description(c.text) : check_author(c.text, false);
            if (*c.refusal == '\0') {
                EXPECT_TRUE(status.ok());
                continue;
            }
            ASSERT_FALSE(status.ok());
            EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
            EXPECT_NE(status.error().message().find(c.refusal), std::string::npos)
                << status.error().message();
        }
    }
    EXPECT_EQ(check_description("x\xE2\x80\xAEy").error().message(),
              "invalid --description \"x\\u{202e}y\": U+202E is refused: a bidirectional "
              "control would stop the generated crate compiling");
}

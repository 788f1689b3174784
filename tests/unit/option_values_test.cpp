// Free-text values of `new` that would break a quoted literal in the generated files are
// refused; everything else passes as typed.
#include "scaffold/option_values.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tarnwick;

TEST(OptionValues, DescriptionAndAuthorAcceptOrdinaryText) {
    for (const std::string& text :
         std::vector<std::string>{"", "Caf\xC3\xA9 \xE2\x9C\x93 tool", "# not a comment",
                                  "{{name}}", "it's fine", "Ada <ada@example.com>"}) {
        EXPECT_TRUE(check_description(text).ok()) << text;
        EXPECT_TRUE(check_author(text, false).ok()) << text;
    }
}

TEST(OptionValues, DescriptionRefusesQuotesBackslashesAndControls) {
    for (const std::string& text :
         std::vector<std::string>{"a\"b", "a\\b", "line\nbreak", "tab\there",
                                  std::string("nul\0x", 5), "del\x7F", "c1\xC2\x85"}) {
        auto status = check_description(text);
        ASSERT_FALSE(status.ok()) << text;
        EXPECT_EQ(status.error().kind(), "usage");
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

TEST(OptionValues, OwnerMustBeOneNonEmptyWord) {
    EXPECT_TRUE(check_owner("kestrow").ok());
    EXPECT_TRUE(check_owner("my-org_2").ok());
    for (const std::string& owner : std::vector<std::string>{"", "a/b", "a b", "a\tb",
                                                             "a\xC2\xA0"
                                                             "b",
                                                             "a\"b", "a\\b"}) {
        EXPECT_FALSE(check_owner(owner).ok()) << owner;
    }
    EXPECT_EQ(check_owner("").error().message(),
              "invalid --owner \"\": use a GitHub user or organization name, without \"/\", "
              "white space, quotes, backslashes or control characters");
}

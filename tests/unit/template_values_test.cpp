// Template values: the average-year clock rule, the default description, and the author
// read from a git configuration written into a scratch HOME.
#include "answers/template_values.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "support/files.hpp"
#include "support/scoped_env.hpp"

using namespace tarnwick;
using tarnwick::testing::ScopedEnv;
using tarnwick::testing::TempDir;
using tarnwick::testing::write_file;

TEST(TemplateYear, TurnsOverAtAverageGregorianYears) {
    EXPECT_EQ(year_from_seconds(-1), "1970");
    EXPECT_EQ(year_from_seconds(0), "1970");
    EXPECT_EQ(year_from_seconds(31556951), "1970");
    EXPECT_EQ(year_from_seconds(31556952), "1971");
    EXPECT_EQ(year_from_seconds(1767189311), "2025");
    EXPECT_EQ(year_from_seconds(1767189312), "2026");
    EXPECT_EQ(year_from_seconds(1830303215), "2027");
    EXPECT_EQ(year_from_seconds(1830303216), "2028");
}

TEST(TemplateYear, CurrentYearIsFourDigitsFromThisCentury) {
    const std::string year = current_year();
    ASSERT_EQ(year.size(), 4u);
    EXPECT_GE(std::stoi(year), 2025);
}

TEST(TemplateDescription, DefaultNamesTheCrate) {
    EXPECT_EQ(default_description("demo"), "An ordoval-compliant CLI (demo).");
}

TEST(PyprojectAuthor, KeepsNameAndEmailApartAndLeavesOutEmptyParts) {
    const struct {
        const char* author;
        const char* fields;
    } cases[] = {
        {"Ada Lovelace <ada@example.com>", R"(name = "Ada Lovelace", email = "ada@example.com")"},
        {"  Ada  <  ada@example.com > ", R"(name = "Ada", email = "ada@example.com")"},
        {"Ada", R"(name = "Ada")"},
        {"<ada@example.com>", R"(email = "ada@example.com")"},
        {"Ada <>", R"(name = "Ada")"},
        {"> Ada <", R"(name = "> Ada <")"},
        {"", R"(name = "")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.author);
        EXPECT_EQ(pyproject_author_fields(c.author), c.fields);
    }
}

namespace {

// Points git at a scratch HOME with the given config and no system config; restores the
// environment and the working directory afterwards.
class AuthorFromGitConfig : public ::testing::Test {
protected:
    AuthorFromGitConfig()
        : env_({{"HOME", dir_.path()},
                {"XDG_CONFIG_HOME", dir_.path()},
                {"GIT_CONFIG_NOSYSTEM", "1"},
                {"GIT_CONFIG_GLOBAL", std::nullopt},
                {"PATH", path_or_default()}}),
          old_cwd_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path());
    }
    ~AuthorFromGitConfig() override { std::filesystem::current_path(old_cwd_); }
    void write_config(const std::string& text) { write_file(dir_ / ".gitconfig", text); }

private:
    static std::string path_or_default() {
        const char* path = std::getenv("PATH");
        return path ? path : "/usr/bin:/bin";
    }

    TempDir dir_;
    ScopedEnv env_;  // PATH is listed so that a test may change it and have it restored
    std::filesystem::path old_cwd_;
};

}  // namespace

TEST_F(AuthorFromGitConfig, AuthorFromNameAndEmail) {
    write_config("[user]\n\tname = \"  Ada Lovelace  \"\n\temail = ada@example.com\n");
    EXPECT_EQ(git_config("user.name").value(), std::optional<std::string>("Ada Lovelace"));
    EXPECT_EQ(default_author().value(), "Ada Lovelace <ada@example.com>");
}

TEST_F(AuthorFromGitConfig, AuthorWithoutEmailIsTheNameAlone) {
    write_config("[user]\n\tname = Ada\n");
    EXPECT_EQ(default_author().value(), "Ada");
}

TEST_F(AuthorFromGitConfig, OnlyAnEmailGivesThePlaceholder) {
    write_config("[user]\n\temail = ada@example.com\n");
    EXPECT_EQ(git_config("user.name").value(), std::nullopt);
    EXPECT_EQ(default_author().value(), "Your Name <you@example.com>");
}

TEST_F(AuthorFromGitConfig, BlankNameCountsAsAbsent) {
    write_config("[user]\n\tname = \"   \"\n\temail = ada@example.com\n");
    EXPECT_EQ(default_author().value(), "Your Name <you@example.com>");
}

TEST_F(AuthorFromGitConfig, NoGitOnPathGivesThePlaceholder) {
    write_config("[user]\n\tname = Ada\n");
    ScopedEnv no_git({{"PATH", "/nonexistent"}});
    EXPECT_EQ(git_config("user.name").value(), std::nullopt);
    EXPECT_EQ(default_author().value(), "Your Name <you@example.com>");
}

// git hands a value over as bytes; one that is not UTF-8 would be rewritten with U+FFFD in
// every file and the commit, so it is refused with the key that holds it.
TEST_F(AuthorFromGitConfig, AValueThatIsNotUtf8IsRefusedByItsKey) {
    struct Case {
        const char* config;
        const char* key;
    };
    for (const Case& c :
         {Case{"[user]\n\tname = Ad\xE9 Lovelace\n\temail = ada@example.com\n", "user.name"},
          Case{"[user]\n\tname = Ada\n\temail = ad\xFF@example.com\n", "user.email"}}) {
        SCOPED_TRACE(c.key);
        write_config(c.config);
        auto author = default_author();
        ASSERT_FALSE(author.ok());
        EXPECT_EQ(author.error().kind(), ErrorKind::Usage);
        EXPECT_EQ(author.error().message(), std::string("invalid git config ") + c.key +
                                                ": it is not valid UTF-8; fix it or pass --author");
    }
}

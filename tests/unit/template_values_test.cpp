// Template values: the average-year clock rule, the default description, and the author
// read from a git configuration written into a scratch HOME.
#include "scaffold/template_values.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

using namespace tarnwick;

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
    EXPECT_EQ(default_description("demo"), "A ordoval-compliant CLI (demo).");
}

namespace {

// Points git at a scratch HOME with the given config and no system config; restores the
// environment and the working directory afterwards.
class AuthorFromGitConfig : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = "/tmp/tarnwick-gitcfg-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        for (const char* var :
             {"HOME", "XDG_CONFIG_HOME", "GIT_CONFIG_NOSYSTEM", "GIT_CONFIG_GLOBAL", "PATH"}) {
            const char* v = ::getenv(var);
            saved_.emplace_back(var, v ? std::optional<std::string>(v) : std::nullopt);
        }
        ::setenv("HOME", dir_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
        ::unsetenv("GIT_CONFIG_GLOBAL");
        old_cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_cwd_);
        for (const auto& [var, value] : saved_) {
            if (value)
                ::setenv(var.c_str(), value->c_str(), 1);
            else
                ::unsetenv(var.c_str());
        }
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void write_config(const std::string& text) { std::ofstream(dir_ + "/.gitconfig") << text; }

private:
    std::string dir_;
    std::filesystem::path old_cwd_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST_F(AuthorFromGitConfig, AuthorFromNameAndEmail) {
    write_config("[user]\n\tname = \"  Ada Lovelace  \"\n\temail = ada@example.com\n");
    EXPECT_EQ(git_config("user.name"), std::optional<std::string>("Ada Lovelace"));
    EXPECT_EQ(default_author(), "Ada Lovelace <ada@example.com>");
}

TEST_F(AuthorFromGitConfig, AuthorWithoutEmailIsTheNameAlone) {
    write_config("[user]\n\tname = Ada\n");
    EXPECT_EQ(default_author(), "Ada");
}

TEST_F(AuthorFromGitConfig, OnlyAnEmailGivesThePlaceholder) {
    write_config("[user]\n\temail = ada@example.com\n");
    EXPECT_EQ(git_config("user.name"), std::nullopt);
    EXPECT_EQ(default_author(), "Your Name <you@example.com>");
}

TEST_F(AuthorFromGitConfig, BlankNameCountsAsAbsent) {
    write_config("[user]\n\tname = \"   \"\n\temail = ada@example.com\n");
    EXPECT_EQ(default_author(), "Your Name <you@example.com>");
}

TEST_F(AuthorFromGitConfig, NoGitOnPathGivesThePlaceholder) {
    write_config("[user]\n\tname = Ada\n");
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(git_config("user.name"), std::nullopt);
    EXPECT_EQ(default_author(), "Your Name <you@example.com>");
}

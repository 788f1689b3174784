// The project's record: read exactly as the templates write it, and its answers held to the
// rules `new` holds them to; the embedded template sets it names.
#include "answers/project_record.hpp"

#include <gtest/gtest.h>

#include "answers/render.hpp"
#include "answers/template_tree.hpp"
#include "core/github_names.hpp"
#include "core/product.hpp"
#include "process/git_version.hpp"

using namespace tarnwick;

namespace {

const std::string kRecord =
    "# comment\n[template]\nset = \"0.2.0\"\n\n[answers]\nname = \"my-tool\"\nowner = \"acme\"\n"
    "description = \"Counts things.\"\nauthor = \"Ada <ada@example.com>\"\nyear = \"2024\"\n"
    "pypi = false\ntap = \"acme/homebrew-tools\"\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(ProjectRecord, ReadsTheRecordTheTemplatesWrite) {
    const Answers answers{.name = "my-tool",
                          .owner = "acme",
                          .description = "Counts things.",
                          .author = "Ada <ada@example.com>",
                          .year = "2024",
                          .pypi = true,
                          .tap = "acme/homebrew-tap"};
    const TemplateFile* file = nullptr;
    for (const TemplateEntry& e : template_root().entries) {
        if (e.file && e.file->path == ".tarnwick.toml.tmpl") file = e.file;
    }
    ASSERT_NE(file, nullptr);
    auto record = parse_project_record(replace_placeholders(file->contents, answers, "0.2.0"));
    ASSERT_TRUE(record.ok()) << record.error().message();
    EXPECT_EQ(record->template_set, "0.2.0");
    EXPECT_TRUE(record->answers == answers);
    EXPECT_TRUE(check_answers(record->answers, "x").ok());

    auto crlf = parse_project_record(replaced(kRecord, "pypi = false\n", "pypi = false\r\n"));
    ASSERT_TRUE(crlf.ok());
    EXPECT_FALSE(crlf->answers.pypi);
    EXPECT_EQ(crlf->answers.license, License::Mit);  // written before the licence was an answer
}

TEST(ProjectRecord, AnythingElseIsRefusedWithItsLine) {
    struct Row {
        std::string text, message_part;
    };
    const std::vector<Row> rows = {
        {replaced(kRecord, "[answers]", "[other]"), "line 5: unknown table"},
        {replaced(kRecord, "owner = ", "owner: "), "line 7: expected `key = value`"},
        {replaced(kRecord, "owner =", "colour = \"x\"\nowner ="), "unknown key \"colour\""},
        {replaced(kRecord, "year = \"2024\"", "year = \"2024\"\nyear = \"2025\""),
         "a second \"year\""},
        {replaced(kRecord, "pypi = false", "pypi = \"no\""), "pypi must be true or false"},
        {replaced(kRecord, "\"Counts things.\"", "\"\"\"x\"y\"\"\""), "description must be"},
        {replaced(kRecord, "\"Counts things.\"", "\"a\\\\b\""), "description must be"},
        {replaced(kRecord, "tap = \"acme/homebrew-tools\"\n", ""), "no tap in [answers]"},
        {replaced(kRecord, "tools\"\n", "tools\"\nlicense = \"GPL-3.0\"\n"),
         "line 13: license must be one of \"MIT\", \"Apache-2.0\" or \"MIT OR Apache-2.0\""},
        {"\xff", "not UTF-8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message_part);
        auto record = parse_project_record(row.text);
        ASSERT_FALSE(record.ok());
        EXPECT_EQ(record.error().kind(), ErrorKind::Git);
        EXPECT_NE(record.error().message().find(row.message_part), std::string::npos)
            << record.error().message();
    }
}

TEST(ProjectRecord, AnswersBreakingTheRulesOfNewAreRefused) {
    auto record = parse_project_record(kRecord);
    ASSERT_TRUE(record.ok());
    struct Row {
        const char* name;
        std::function<void(Answers&)> change;
        const char* message_part;
    };
    const std::vector<Row> rows = {
        {"expression in the description", [](Answers& a) { a.description = "x ${{ secrets.X }}"; },
         "--description"},
        {"quote in the owner", [](Answers& a) { a.owner = "' }}"; }, "--owner"},
        {"crate name", [](Answers& a) { a.name = "Bad Name"; }, "crate name"},
        {"Python name with PyPI",
         [](Answers& a) {
             a.name = "tool-";
             a.pypi = true;
         },
         "name"},
        {"tap without homebrew-", [](Answers& a) { a.tap = "acme/tools"; }, "--tap"},
        {"year", [](Answers& a) { a.year = "24"; }, "year"},
        {"bidi control in the author", [](Answers& a) { a.author = "Ada \u202e"; }, "--author"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Answers answers = record->answers;
        row.change(answers);
        auto checked = check_answers(answers, "in .tarnwick.toml");
        ASSERT_FALSE(checked.ok());
        EXPECT_EQ(checked.error().kind(), ErrorKind::Git);
        EXPECT_NE(checked.error().message().find(row.message_part), std::string::npos)
            << checked.error().message();
    }
}

TEST(TemplateSets, TheReleasedSetsAreCarriedNewestFirst) {
    const auto sets = template_sets();
    ASSERT_GE(sets.size(), 3u);
    EXPECT_EQ(sets.front().identity, kVersion);
    EXPECT_EQ(&template_root(), sets.front().root);
    EXPECT_EQ(sets[1].identity, "0.1.6+4d44ce2");
    EXPECT_EQ(sets[2].identity, "0.1.6");
    EXPECT_EQ(find_template_set("0.1.6"), &sets[2]);
    EXPECT_EQ(find_template_set("0.1.5"), nullptr);
}

TEST(TemplateSets, TapShortNamesAndGitVersions) {
    EXPECT_EQ(tap_short_name("acme/homebrew-tap"), "acme/tap");
    EXPECT_EQ(tap_short_name("acme/homebrew-x-y"), "acme/x-y");
    EXPECT_EQ(default_tap("acme"), "acme/homebrew-tap");
    struct Row {
        const char* line;
        std::optional<GitVersion> version;
    };
    const std::vector<Row> rows = {
        {"git version 2.39.5\n", GitVersion{2, 39, 5}},
        {"git version 2.39.3 (Apple Git-145)\n", GitVersion{2, 39, 3}},
        {"git version 2.45.1.windows.1\r\n", GitVersion{2, 45, 1}},
        {"git version 2.37.0\r\n", GitVersion{2, 37, 0}},
        {"git version 2.x\n", std::nullopt},
        {"hub version 2.39.5\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(parse_git_version(row.line), row.version);
    }
}

}  // namespace

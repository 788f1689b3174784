// The answer rows: every answer goes through the project's record and back, a record of an
// older set reads as the rows say, and each licence writes its own files and lines.
#include "answers/answers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answers/project_record.hpp"
#include "answers/render.hpp"
#include "answers/template_tree.hpp"
#include "support/files.hpp"

using namespace tarnwick;
using tarnwick::testing::read_file;
using tarnwick::testing::TempDir;

namespace {

Answers sample() {
    Answers a = new_answers("my-tool", "2024");
    a.author = "Ada <ada@example.com>";
    return a;
}

// The record today's set writes for these answers.
std::string record_of(const Answers& answers) {
    for (const TemplateEntry& e : template_root().entries) {
        if (e.file && e.file->path == ".tarnwick.toml.tmpl") {
            return replace_placeholders(cut_sections(e.file->contents, answers), answers, "0.2.0");
        }
    }
    ADD_FAILURE() << "no .tarnwick.toml.tmpl";
    return "";
}

bool has_line(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(AnswerRows, EachAnswerGoesThroughTheRecordAndBack) {
    // A value of each row that is not the sample's, valid by the row's rule.
    Answers other{.name = "other-tool",
                  .owner = "birds",
                  .description = "Counts birds.",
                  .author = "Bo",
                  .year = "1999",
                  .pypi = false,
                  .tap = "birds/homebrew-nest",
                  .license = License::MitOrApache};
    for (const AnswerRow& row : answer_rows()) {
        SCOPED_TRACE(std::string(row.key));
        Answers answers = sample();
        ASSERT_TRUE(row.set(answers, row.text(other)));
        EXPECT_FALSE(answers == sample()) << "the row's answer is no part of ==";
        const std::string record = record_of(answers);
        auto read = parse_project_record(record);
        ASSERT_TRUE(read.ok()) << read.error().message();
        EXPECT_TRUE(read->answers == answers) << record;
        EXPECT_TRUE(check_answers(read->answers, "x").ok());

        // A record of a set older than the row: read as the row says, or refused by name.
        std::string older = record;
        const std::string key = "\n" + std::string(row.key) + " = ";
        const auto at = older.find(key);
        ASSERT_NE(at, std::string::npos) << record;
        older.erase(at + 1, older.find('\n', at + 1) - at);
        auto without = parse_project_record(older);
        if (row.older_sets.empty()) {
            ASSERT_FALSE(without.ok());
            EXPECT_NE(without.error().message().find("no " + std::string(row.key) + " in"),
                      std::string::npos);
        } else {
            ASSERT_TRUE(without.ok()) << without.error().message();
            EXPECT_EQ(row.text(without->answers), row.older_sets);
        }
    }
}

TEST(License, EachChoiceWritesItsTextsAndLines) {
    struct Row {
        License license;
        std::vector<std::string> texts;  // the licence files, each with its first words
        std::vector<std::string> lines;  // "FILE|LINE": a whole line of the file
        std::string absent;              // in no file
    };
    const std::string release = ".github/workflows/release.yml|";
    const std::vector<Row> rows = {
        {License::Mit,
         {"LICENSE|MIT License"},
         {"LICENSE|Copyright (c) 2024 Ada <ada@example.com>", "Cargo.toml|license = \"MIT\"",
          "pyproject.toml|license = \"MIT\"", "README.md|MIT", ".tarnwick.toml|license = \"MIT\"",
          release + "              '  license \"MIT\"',",
          release + "              '    prefix.install \"LICENSE\"',",
          release + "                   \"LICENSE\": (\"LICENSE\", 0o644), \"README.md\": "
                    "(\"README.md\", 0o644)}"},
         "license-files"},
        {License::Apache,
         {"LICENSE|\n                                 Apache License"},
         {"Cargo.toml|license = \"Apache-2.0\"", "pyproject.toml|license = \"Apache-2.0\"",
          "README.md|Apache-2.0", ".tarnwick.toml|license = \"Apache-2.0\"",
          release + "              '  license \"Apache-2.0\"',",
          release + "              '    prefix.install \"LICENSE\"',"},
         "LICENSE-MIT"},
        {License::MitOrApache,
         {"LICENSE-APACHE|\n                                 Apache License",
          "LICENSE-MIT|MIT License"},
         {"LICENSE-MIT|Copyright (c) 2024 Ada <ada@example.com>",
          "Cargo.toml|license = \"MIT OR Apache-2.0\"",
          "pyproject.toml|license = \"MIT OR Apache-2.0\"",
          "pyproject.toml|license-files = [\"LICENSE-APACHE\", \"LICENSE-MIT\"]",
          "README.md|MIT OR Apache-2.0", ".tarnwick.toml|license = \"MIT OR Apache-2.0\"",
          release + "              '  license any_of: [\"MIT\", \"Apache-2.0\"]',",
          release + "              '    prefix.install \"LICENSE-APACHE\", \"LICENSE-MIT\"',",
          release + "                   \"LICENSE-APACHE\": (\"LICENSE-APACHE\", 0o644), "
                    "\"LICENSE-MIT\": (\"LICENSE-MIT\", 0o644),"},
         "(\"LICENSE\", 0o644)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(kLicenseNames[static_cast<std::size_t>(row.license)]));
        Answers answers = sample();
        answers.license = row.license;
        TempDir dir;
        std::vector<std::string> written;
        ASSERT_TRUE(render_tree(template_root(), dir.path(), answers, "0.2.0", written).ok());
        std::vector<std::string> texts;
        for (const std::string& file : written) {
            if (file.starts_with("LICENSE")) texts.push_back(file);
        }
        ASSERT_EQ(texts.size(), row.texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const auto bar = row.texts[i].find('|');
            EXPECT_EQ(texts[i], row.texts[i].substr(0, bar));
            EXPECT_TRUE(read_file(dir / texts[i]).starts_with(row.texts[i].substr(bar + 1)));
        }
        for (const std::string& expected : row.lines) {
            const auto bar = expected.find('|');
            EXPECT_TRUE(
                has_line(read_file(dir / expected.substr(0, bar)), expected.substr(bar + 1)))
                << expected;
        }
        for (const std::string& file : written) {
            EXPECT_EQ(read_file(dir / file).find(row.absent), std::string::npos) << file;
        }
    }
}

}  // namespace

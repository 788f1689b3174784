// The pieces of `update` that need no repository: the project's answers read back from a
// render, the readers of git's outputs, and the report in both forms.
#include <gtest/gtest.h>

#include <functional>

#include "output/update_report.hpp"
#include "update/git_output.hpp"
#include "update/render_answers.hpp"

using namespace tarnwick;

namespace {

const std::string kCargo =
    "[package]\nname = \"my-tool\"\nversion = \"0.1.0\"\ndescription = \"Says \"hi\" [x]\"\n"
    "authors = [\"Ada Lovelace <ada@example.com>\"]\n"
    "repository = \"https://github.com/acme-co/my-tool\"\n\n[lib]\nname = \"my_tool\"\n";
const std::string kLicense = "MIT License\n\nCopyright (c) 2019 Ada Lovelace <ada@example.com>\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(RenderAnswers, ReadsEveryAnswerVerbatim) {
    auto context = answers_from_render(kCargo, kLicense, false);
    ASSERT_TRUE(context.ok()) << context.error().message();
    EXPECT_EQ(context->name, "my-tool");
    EXPECT_EQ(context->description, "Says \"hi\" [x]");
    EXPECT_EQ(context->owner, "acme-co");
    EXPECT_EQ(context->author, "Ada Lovelace <ada@example.com>");
    EXPECT_EQ(context->year, "2019");
    EXPECT_FALSE(context->pypi);
    EXPECT_EQ(context->tap, "acme-co/homebrew-tap");
    EXPECT_TRUE(answers_from_render(kCargo, kLicense, true)->pypi);
}

TEST(RenderAnswers, AMissingOrBrokenLineIsNamed) {
    struct Row {
        std::string cargo, license, message_part;
    };
    const std::vector<Row> rows = {
        {replaced(kCargo, "name = \"my-tool\"", "nam = \"my-tool\""), kLicense, "`name = "},
        // The [lib] section's name is not the package's.
        {replaced(kCargo, "[package]\nname = \"my-tool\"\n", "[package]\n"), kLicense, "`name = "},
        {replaced(kCargo, "description", "summary"), kLicense, "`description = "},
        {replaced(kCargo, "authors = [\"", "authors = ['"), kLicense, "`authors = "},
        {replaced(kCargo, "acme-co/my-tool", "acme-co/other"), kLicense, "OWNER/my-tool"},
        {replaced(kCargo, "github.com/acme-co", "gitlab.com/acme-co"), kLicense, "OWNER/my-tool"},
        {kCargo, "MIT License\n", "LICENSE has no"},
        {kCargo, replaced(kLicense, "2019 ", "MMXIX "), "LICENSE has no"},
        {replaced(kCargo, "my-tool\"\nversion", "My-Tool\"\nversion"), kLicense,
         "invalid crate name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message_part);
        auto context = answers_from_render(row.cargo, row.license, true);
        ASSERT_FALSE(context.ok());
        EXPECT_NE(context.error().message().find(row.message_part), std::string::npos)
            << context.error().message();
    }
}

TEST(GitOutput, UnmergedPathsTakeGitStatusKindsFromTheirStages) {
    const std::vector<std::string> records = {
        "100644 a1 1\tREADME.md",  "100644 a2 2\tREADME.md",   "100644 a3 3\tREADME.md",
        "100644 b2 2\tadded",      "100644 b3 3\tadded",       "100644 c1 1\tgone ours",
        "100644 c3 3\tgone ours",  "100644 d1 1\tgone theirs", "100644 d2 2\tgone theirs",
        "100644 e3 3\tonly theirs"};
    auto paths = unmerged_paths(records);
    ASSERT_TRUE(paths);
    std::vector<std::pair<std::string, std::string>> got;
    for (const Unmerged& u : *paths) got.emplace_back(u.path, u.kind);
    EXPECT_EQ(got,
              (std::vector<std::pair<std::string, std::string>>{{"README.md", "both modified"},
                                                                {"added", "both added"},
                                                                {"gone ours", "deleted by us"},
                                                                {"gone theirs", "deleted by them"},
                                                                {"only theirs", "added by them"}}));
    for (const char* broken : {"100644 a1 4\tx", "100644 a1 1 x", "garbage"}) {
        SCOPED_TRACE(broken);
        EXPECT_FALSE(unmerged_paths({broken}));
    }
}

TEST(GitOutput, HiddenFromStatusAreAssumeUnchangedAndSkipWorktreeEntries) {
    using namespace std::string_literals;
    EXPECT_EQ(hidden_from_status("H a.rs\0h b.rs\0S c.rs\0M d.rs\0s e.rs\0"s),
              (std::vector<std::string>{"b.rs", "c.rs", "e.rs"}));
    EXPECT_TRUE(hidden_from_status("H a\0R b\0"s).empty());
}

TEST(GitOutput, WorkTreeStatusFindsHeadAndEveryKindOfChange) {
    using namespace std::string_literals;
    const std::string out =
        "# branch.oid abc\0# branch.head main\0"s
        "1 .M N... 100644 100644 100644 h1 h2 my file.rs\0"s
        "2 R. N... 100644 100644 100644 h1 h2 R100 new name\0old name\0"s
        "u UU N... 100644 100644 100644 100644 h1 h2 h3 both.txt\0"s;
    const WorkTreeStatus status = work_tree_status(out);
    EXPECT_EQ(status.head, "abc");
    EXPECT_EQ(status.branch, "main");
    EXPECT_FALSE(work_tree_status("# branch.oid abc\0# branch.head (detached)\0"s).branch);
    EXPECT_EQ(status.changed, (std::vector<std::string>{"my file.rs", "new name", "both.txt"}));
    EXPECT_FALSE(work_tree_status("# branch.oid (initial)\0"s).head);
    EXPECT_TRUE(work_tree_status("# branch.oid abc\0"s).changed.empty());
}

UpdateReport sample_report() {
    UpdateReport report;
    report.project = "demo";
    report.from = "0.1.6";
    report.to = "0.2.0";
    report.base = ".tarnwick.toml";
    report.branch = "main";
    report.answers = {.name = "demo",
                      .owner = "acme",
                      .description = "A \x1b[31mred\x1b[0m tool",
                      .author = "Ada",
                      .year = "2024",
                      .pypi = false,
                      .tap = "acme/homebrew-tap",
                      .license = License::MitOrApache};
    return report;
}

TEST(UpdateReport, TextForEachOutcome) {
    const std::string answers =
        "Answers: name demo, owner acme, description \"A \\u{1b}[31mred\\u{1b}[0m tool\", author "
        "\"Ada\", year 2024, PyPI off, tap acme/homebrew-tap, license MIT OR Apache-2.0";
    struct Row {
        const char* name;
        std::function<void(UpdateReport&)> arrange;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"current", [](UpdateReport& r) { r.current = true; },
         "demo already matches the templates of tarnwick 0.2.0 with its answers: nothing to do"},
        {"dry run",
         [](UpdateReport& r) {
             r.dry_run = true;
             r.files = {"src/lib.rs"};
             r.conflicts = {{"README.md", "both modified"}};
         },
         "Dry run: updating demo from tarnwick 0.1.6 to 0.2.0 would change 2 files, with 1 "
         "conflict\nWould merge cleanly:\n  - src/lib.rs\nWould conflict:\n  - README.md (both "
         "modified)\n" +
             answers},
        {"conflict",
         [](UpdateReport& r) {
             r.files = {"Cargo.toml"};
             r.conflicts = {{"README.md", "both modified"}, {"ci.yml", "deleted by us"}};
         },
         "The update of demo from tarnwick 0.1.6 to 0.2.0 stopped on 2 conflicts; the merge is "
         "left in progress on main\nConflicts (markers: <<<<<<< your branch, >>>>>>> tarnwick "
         "0.2.0):\n  - README.md (both modified)\n  - ci.yml (deleted by us)\nMerged "
         "cleanly:\n  - Cargo.toml\nTo finish: edit the conflicted files, `git add` them, then "
         "`git commit`\nTo abort: `git merge --abort` returns to your commit\n" +
             answers},
        {"staged",
         [](UpdateReport& r) {
             r.staged = true;
             r.files = {"README.md"};
         },
         "Merged demo from tarnwick 0.1.6 to 0.2.0 into the index without committing: 1 file "
         "changed\nChanged:\n  - README.md\nTo review: `git diff --cached`; to finish: `git "
         "commit`; to drop it: `git merge --abort`\n" +
             answers + "\nNext: `make check`"},
        {"committed, with a note",
         [](UpdateReport& r) {
             r.files = {"README.md"};
             r.commit = "0123456789abcdef0123";
             r.notes = {"Cargo.lock \x07stays"};
         },
         "Updated demo from tarnwick 0.1.6 to 0.2.0: 1 file changed, commit "
         "0123456789ab\nChanged:\n  - README.md\nTo undo: `git reset --hard ORIG_HEAD`\n" +
             answers + "\nNext: `make check`\nNote: Cargo.lock \\u{7}stays"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateReport report = sample_report();
        row.arrange(report);
        EXPECT_EQ(render_update_text(report), row.text);
    }
}

TEST(UpdateReport, JsonKeysInByteOrderWithNulls) {
    UpdateReport report = sample_report();
    report.dry_run = true;
    report.files = {"a"};
    report.conflicts = {{"b", "both added"}};
    EXPECT_EQ(render_update_json(report),
              "{\"answers\":{\"author\":\"Ada\",\"description\":\"A \\u001b[31mred\\u001b[0m "
              "tool\",\"license\":\"MIT OR "
              "Apache-2.0\",\"name\":\"demo\",\"owner\":\"acme\",\"pypi\":false,\"tap\":\"acme/"
              "homebrew-tap\",\"year\":\"2024\"},\"base\":\".tarnwick.toml\",\"commit\":null,"
              "\"conflicts\":[{\"kind\":\"both added\",\"path\":\"b\"}],\"current\":false,"
              "\"dry_run\":true,\"files\":[\"a\"],\"from\":\"0.1.6\",\"notes\":[],\"project\":"
              "\"demo\",\"staged\":false,\"to\":\"0.2.0\"}");
}

}  // namespace

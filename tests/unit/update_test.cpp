// The pieces of `update` that need no repository: the project's answers read back from a
// render, the readers of git's outputs, and the report in both forms.
#include <gtest/gtest.h>

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
    EXPECT_EQ(context->name_snake, "my_tool");
    EXPECT_EQ(context->name_pascal, "MyTool");
    EXPECT_EQ(context->description, "Says \"hi\" [x]");
    EXPECT_EQ(context->owner, "acme-co");
    EXPECT_EQ(context->author, "Ada Lovelace <ada@example.com>");
    EXPECT_EQ(context->year, "2019");
    EXPECT_FALSE(context->pypi);
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

TEST(GitOutput, LatestRenderIsTheFirstCommitWithATrailerValue) {
    const std::string log =
        "c3\x1ft3\x1f\x1e\n"  // a message that only quotes the trailer
        "c2\x1ft2\x1f"
        "0.2.0,0.2.1\x1e\n"
        "c1\x1ft1\x1f"
        "0.1.9\x1e\n";
    auto render = latest_render(log);
    ASSERT_TRUE(render);
    EXPECT_EQ(render->commit, "c2");
    EXPECT_EQ(render->tree, "t2");
    EXPECT_EQ(render->version, "0.2.0");
    EXPECT_FALSE(latest_render(""));
    EXPECT_FALSE(latest_render("c3\x1ft3\x1f  \x1e\n"));
}

TEST(GitOutput, ScaffoldRootNeedsTheExactSubject) {
    const std::string roots =
        "commit r1\nr1\x1ftr1\x1f"
        "chore: scaffold  with tarnwick\n"
        "commit r2\nr2\x1ftr2\x1f"
        "Initial commit\n"
        "commit r3\nr3\x1ftr3\x1f"
        "chore: scaffold demo with tarnwick\n";
    auto root = scaffold_root(roots);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->commit, "r3");
    EXPECT_EQ(root->tree, "tr3");
    EXPECT_FALSE(root->version);
    EXPECT_FALSE(
        scaffold_root("commit r2\nr2\x1ftr2\x1f"
                      "chore: scaffold demo\n"));
}

TEST(GitOutput, CatFileBatchKeepsOrderAndMissingObjects) {
    auto objects = cat_file_batch("a1 blob 3\nx\ny\nHEAD:pyproject.toml missing\nb2 blob 0\n\n", 3);
    ASSERT_TRUE(objects);
    ASSERT_EQ(objects->size(), 3u);
    EXPECT_EQ((*objects)[0], "x\ny");
    EXPECT_FALSE((*objects)[1]);
    EXPECT_EQ((*objects)[2], "");
    for (const char* broken : {"a1 blob 9\nshort\n", "a1 blob x\n\n", "a1 blob 1\nxy", ""}) {
        SCOPED_TRACE(broken);
        EXPECT_FALSE(cat_file_batch(broken, 1));
    }
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
    EXPECT_EQ(status.changed, (std::vector<std::string>{"my file.rs", "new name", "both.txt"}));
    EXPECT_FALSE(work_tree_status("# branch.oid (initial)\0"s).head);
    EXPECT_TRUE(work_tree_status("# branch.oid abc\0"s).changed.empty());
}

TEST(UpdateReport, TextForEachOutcome) {
    UpdateReport report;
    report.project = "demo";
    report.to = "0.2.0";
    report.base = "b";
    report.current = true;
    EXPECT_EQ(render_update_text(report),
              "demo already matches the templates of tarnwick 0.2.0: nothing to do");

    report.current = false;
    report.dry_run = true;
    report.from = "0.1.6";
    report.files = {"README.md", "src/lib.rs"};
    report.conflicts = {"README.md"};
    EXPECT_EQ(render_update_text(report),
              "Dry run: updating demo from tarnwick 0.1.6 to the templates of tarnwick 0.2.0 would "
              "change 2 files, with 1 conflict\nWould change:\n  - README.md\n  - src/lib.rs\n"
              "Would conflict:\n  - README.md");

    report.dry_run = false;
    report.from.reset();
    report.files = {"README.md"};
    report.conflicts.clear();
    report.commit = "0123456789abcdef0123";
    report.notes = {"Cargo.lock stays"};
    EXPECT_EQ(
        render_update_text(report),
        "Updated demo from an earlier tarnwick to the templates of tarnwick 0.2.0: 1 file "
        "changed, merge commit 0123456789ab\nChanged:\n  - README.md\nNote: Cargo.lock stays");
}

TEST(UpdateReport, JsonKeysInByteOrderWithNulls) {
    UpdateReport report;
    report.project = "./p";
    report.to = "0.2.0";
    report.base = "b1";
    report.dry_run = true;
    report.files = {"a"};
    EXPECT_EQ(render_update_json(report),
              "{\"base\":\"b1\",\"commit\":null,\"conflicts\":[],\"current\":false,"
              "\"dry_run\":true,\"files\":[\"a\"],\"from\":null,\"notes\":[],\"project\":\"./p\","
              "\"render\":null,\"to\":\"0.2.0\"}");
}

}  // namespace

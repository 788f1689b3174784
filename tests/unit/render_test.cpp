// The template renderer on small in-memory trees: section cutting, placeholder passes,
// write order, the pypi-only file, and io failures that leave earlier work in place.
#include "answers/render.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/files.hpp"

using namespace tarnwick;
using tarnwick::testing::exists;
using tarnwick::testing::read_file;
using tarnwick::testing::TempDir;
using tarnwick::testing::write_file;

namespace {

Answers sample_answers(bool pypi = true) {
    return Answers{.name = "my-tool",
                   .owner = "acme",
                   .description = "Does things.",
                   .author = "Ada <ada@example.com>",
                   .year = "2026",
                   .pypi = pypi,
                   .tap = "acme/homebrew-tap"};
}

std::string cut_sections(std::string_view text, bool pypi) {
    return tarnwick::cut_sections(text, sample_answers(pypi));
}

std::string replace_placeholders(std::string_view text, const Answers& answers) {
    return tarnwick::replace_placeholders(text, answers, "0.2.0");
}

Status render_tree(const TemplateDir& root, const std::string& destination, const Answers& answers,
                   std::vector<std::string>& written) {
    return tarnwick::render_tree(root, destination, answers, "0.2.0", written);
}

}  // namespace

TEST(CutSections, MarkersWithSpacesAndCrlfAreRemovedBodyKeptWhenOn) {
    const std::string text = "a\n   {{#pypi}}  \r\nb\r\n\t{{/pypi}}\r\nc\n";
    EXPECT_EQ(cut_sections(text, true), "a\nb\r\nc\n");
    EXPECT_EQ(cut_sections(text, false), "a\nc\n");
}

TEST(CutSections, UnclosedSectionRunsToTheEnd) {
    EXPECT_EQ(cut_sections("a\n{{#pypi}}\nb\nc", false), "a\n");
    EXPECT_EQ(cut_sections("a\n{{#pypi}}\nb\nc", true), "a\nb\nc");
}

TEST(CutSections, MarkerTextInsideALongerLineOrWithAnotherNameIsOrdinary) {
    const std::string text = "x {{#pypi}}\n{{#other}}\n{{/pypi}} y\n";
    EXPECT_EQ(cut_sections(text, false), text);
}

TEST(CutSections, FlagHasNoDepth) {
    // A second opening marker changes nothing; the first closing marker ends the section,
    // and a stray closing marker only disappears.
    const std::string text = "{{#pypi}}\na\n{{#pypi}}\nb\n{{/pypi}}\nc\n{{/pypi}}\nd\n";
    EXPECT_EQ(cut_sections(text, false), "c\nd\n");
    EXPECT_EQ(cut_sections(text, true), "a\nb\nc\nd\n");
}

TEST(ReplacePlaceholders, NameBesideNameSnakeAndPascal) {
    EXPECT_EQ(
        replace_placeholders("{{name}}/{{name_snake}}/{{name_pascal}}{{name}}", sample_answers()),
        "my-tool/my_tool/MyToolmy-tool");
}

TEST(ReplacePlaceholders, AuthorBesideItsPyprojectFields) {
    EXPECT_EQ(
        replace_placeholders("{{author}}|[{ {{author_fields}} }]|{{author_}}", sample_answers()),
        R"(Ada <ada@example.com>|[{ name = "Ada", email = "ada@example.com" }]|{{author_}})");
}

TEST(ReplacePlaceholders, InsertedValuesAreNeverScannedAgain) {
    Answers context = sample_answers();
    context.description = "by {{owner}} in {{year}}";
    context.owner = "{{description}}";
    EXPECT_EQ(replace_placeholders("{{description}}|{{owner}}|{{{{year}}}}", context),
              "by {{owner}} in {{year}}|{{description}}|{{2026}}");
}

TEST(ReplacePlaceholders, GithubExpressionsAndUnknownPlaceholdersPassThrough) {
    const std::string text =
        "name: Build ${{ matrix.target }}\nref: ${{ github.ref }} {{unknown}} {{ name }}\n";
    EXPECT_EQ(replace_placeholders(text, sample_answers()), text);
}

TEST(RenderTree, WritesFilesBeforeSubdirectoriesAndListsThemInWriteOrder) {
    static const TemplateFile ci{".github/workflows/ci.yml.tmpl", "ci for {{name}}\n"};
    static const TemplateEntry workflows_entries[] = {&ci};
    static const TemplateDir workflows{".github/workflows", workflows_entries};
    static const TemplateEntry github_entries[] = {&workflows};
    static const TemplateDir github{".github", github_entries};
    static const TemplateFile cargo{"Cargo.toml.tmpl", "name = \"{{name}}\"\n"};
    static const TemplateFile plain{"NOTES", "kept {{year}}"};
    static const TemplateFile pyproject{"pyproject.toml.tmpl", "[project]\n"};
    static const TemplateFile main_rs{"src/main.rs.tmpl", "// {{name_pascal}}\n"};
    static const TemplateEntry src_entries[] = {&main_rs};
    static const TemplateDir src{"src", src_entries};
    static const TemplateEntry root_entries[] = {&github, &cargo, &plain, &pyproject, &src};
    static const TemplateDir root{"", root_entries};

    TempDir scratch;
    const std::string dest = scratch / "missing/parent/proj";
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(root, dest, sample_answers(), written).ok());
    EXPECT_EQ(written, (std::vector<std::string>{"Cargo.toml", "NOTES", "pyproject.toml",
                                                 ".github/workflows/ci.yml", "src/main.rs"}));
    EXPECT_EQ(read_file(dest + "/Cargo.toml"), "name = \"my-tool\"\n");
    EXPECT_EQ(read_file(dest + "/NOTES"), "kept 2026");  // last line without "\n" survives
    EXPECT_EQ(read_file(dest + "/.github/workflows/ci.yml"), "ci for my-tool\n");
    EXPECT_EQ(read_file(dest + "/src/main.rs"), "// MyTool\n");

    const std::string dest_off = scratch / "off";
    std::vector<std::string> written_off;
    ASSERT_TRUE(render_tree(root, dest_off, sample_answers(false), written_off).ok());
    EXPECT_EQ(written_off.size(), 4u);
    EXPECT_FALSE(exists(dest_off + "/pyproject.toml"));
}

TEST(RenderTree, EmptyTemplateGivesEmptyFile) {
    static const TemplateFile empty{"empty.txt.tmpl", ""};
    static const TemplateEntry entries[] = {&empty};
    static const TemplateDir root{"", entries};
    TempDir scratch;
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(root, scratch / "p", sample_answers(), written).ok());
    EXPECT_EQ(written, std::vector<std::string>{"empty.txt"});
    EXPECT_EQ(read_file(scratch / "p/empty.txt"), "");
}

// Files are created, never reused: whatever already sits at an output path (a file, or a link
// that would lead the write elsewhere) stops the render and is left as it was.
TEST(RenderTree, AnythingAlreadyAtAnOutputPathIsLeftAlone) {
    static const TemplateFile file{"out.txt.tmpl", "new\n"};
    static const TemplateEntry entries[] = {&file};
    static const TemplateDir root{"", entries};
    struct Case {
        const char* what;
        bool as_link;
    };
    for (const Case& c : {Case{"a file", false}, Case{"a link to a file elsewhere", true}}) {
        SCOPED_TRACE(c.what);
        TempDir scratch;
        std::filesystem::create_directories(scratch / "p");
        write_file(scratch / "victim", "old contents");
        if (c.as_link) {
            ASSERT_EQ(::symlink((scratch / "victim").c_str(), (scratch / "p/out.txt").c_str()), 0);
        } else {
            write_file(scratch / "p/out.txt", "old contents");
        }
        std::vector<std::string> written;
        auto status = render_tree(root, scratch / "p", sample_answers(), written);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Io);
        EXPECT_EQ(status.error().message(), "File exists (os error 17)");
        EXPECT_TRUE(written.empty());
        EXPECT_EQ(read_file(scratch / "victim"), "old contents");
        if (!c.as_link) {
            EXPECT_EQ(read_file(scratch / "p/out.txt"), "old contents");
        }
    }
}

TEST(RenderTree, InvalidUtf8StopsWithItsStoredPathAndKeepsEarlierFiles) {
    static const TemplateFile good{"a.tmpl", "fine\n"};
    static const TemplateFile bad{"sub/b.txt.tmpl", "bad \xFF byte\n"};
    static const TemplateFile after{"sub/c.tmpl", "never\n"};
    static const TemplateEntry sub_entries[] = {&bad, &after};
    static const TemplateDir sub{"sub", sub_entries};
    static const TemplateEntry entries[] = {&good, &sub};
    static const TemplateDir root{"", entries};
    TempDir scratch;
    std::vector<std::string> written;
    auto status = render_tree(root, scratch / "p", sample_answers(), written);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().kind(), ErrorKind::Io);
    EXPECT_EQ(status.error().message(), "template sub/b.txt.tmpl is not valid UTF-8");
    EXPECT_EQ(written, std::vector<std::string>{"a"});
    EXPECT_EQ(read_file(scratch / "p/a"), "fine\n");
    EXPECT_TRUE(exists(scratch / "p/sub"));  // the directory made before the check stays
    EXPECT_FALSE(exists(scratch / "p/sub/b.txt"));
    EXPECT_FALSE(exists(scratch / "p/sub/c"));
}

TEST(RenderTree, ParentOfDestinationIsAFileFailsBeforeWritingAnything) {
    static const TemplateFile file{"x.tmpl", "x\n"};
    static const TemplateEntry entries[] = {&file};
    static const TemplateDir root{"", entries};
    TempDir scratch;
    write_file(scratch / "blocker", "i am a file");
    std::vector<std::string> written;
    auto status = render_tree(root, scratch / "blocker/proj", sample_answers(), written);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().kind(), ErrorKind::Io);
    EXPECT_EQ(status.error().exit_code(), 2);
    EXPECT_EQ(status.error().message(), "Not a directory (os error 20)");
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(read_file(scratch / "blocker"), "i am a file");
}

TEST(RenderTree, DanglingSymlinkDestinationIsAnIoError) {
    static const TemplateFile file{"x.tmpl", "x\n"};
    static const TemplateEntry entries[] = {&file};
    static const TemplateDir root{"", entries};
    TempDir scratch;
    ASSERT_EQ(::symlink((scratch / "nowhere").c_str(), (scratch / "link").c_str()), 0);
    std::vector<std::string> written;
    auto status = render_tree(root, scratch / "link", sample_answers(), written);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message(), "File exists (os error 17)");
    EXPECT_TRUE(written.empty());
    EXPECT_FALSE(exists(scratch / "nowhere"));
}

TEST(RenderTree, EmbeddedTreeListsEighteenFilesInWriteOrder) {
    // Contents are other people's; the listing and its order are the renderer's contract.
    TempDir scratch;
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(template_root(), scratch / "demo", sample_answers(), written).ok());
    EXPECT_EQ(written, (std::vector<std::string>{
                           ".gitignore", ".tarnwick.toml", "Cargo.toml", "LICENSE", "Makefile",
                           "README.md", "prek.toml", "pyproject.toml", ".github/dependabot.yml",
                           ".github/workflows/ci.yml", ".github/workflows/release.yml",
                           "schemas/ordoval-v0.3.json", "src/error.rs", "src/lib.rs", "src/main.rs",
                           "src/schema.rs", "tests/cli.rs", "tests/conformance.rs"}));
}

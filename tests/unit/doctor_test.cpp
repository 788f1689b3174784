// The pieces of `doctor` that need no child: the platform table compiled in from
// docs/platform.md, the workflow reading against it, and the report's two forms.
#include <gtest/gtest.h>

#include "doctor/platform_table.hpp"
#include "doctor/workflow_scan.hpp"
#include "output/doctor_report.hpp"
#include "support/files.hpp"

using namespace tarnwick;

namespace {

// The built-in table is docs/platform.md as it is now: one source for the workflow tests and
// for doctor (a stale build would fail here).
TEST(PlatformTable, IsTheRepositorysDocument) {
    EXPECT_EQ(platform_markdown(),
              tarnwick::testing::read_file(std::string(TARNWICK_SOURCE_DIR) + "/docs/platform.md"));
    const PlatformTable& table = platform_table();
    ASSERT_FALSE(table.images.empty());
    ASSERT_FALSE(table.actions.empty());
    for (const ActionPin& pin : table.actions) {
        SCOPED_TRACE(pin.action);
        EXPECT_EQ(pin.sha.size(), 40u);
    }
}

TEST(PlatformTable, ReadsTheFirstTableUnderEachHeading) {
    const std::string markdown =
        "# T\n\n## Runner images\n\ntext\n\n| status | label | date | source |\n"
        "| --- | --- | --- | --- |\n| retired | `macos-14` | 2026-11-02 | #1 |\n"
        "| | |\n\n| later | table | x | y |\n\n## Actions\n\n"
        "| action | tag | sha |\n|---|---|---|\n| a/b | v1 | 0123 |\n| c/d | v1 |\n";
    const PlatformTable table = read_platform_table(markdown);
    ASSERT_EQ(table.images.size(), 1u);
    EXPECT_EQ(table.images[0].label, "macos-14");
    EXPECT_EQ(table.images[0].status, "retired");
    EXPECT_EQ(table.images[0].source, "#1");
    ASSERT_EQ(table.actions.size(), 1u);
    EXPECT_EQ(table.actions[0].action, "a/b");
    EXPECT_EQ(table.actions[0].sha, "0123");
    EXPECT_TRUE(read_platform_table("no tables").images.empty());
}

TEST(WorkflowScan, FlagsStaleImagesAndPinsOnly) {
    const std::string sha(40, 'a');
    const PlatformTable table{
        {{"ubuntu-24.04", "available", "2026-12-07", "s"},
         {"macos-14", "retired", "2026-11-02", "r#1"},
         {"ubuntu-22.04", "deprecated", "2026-09-17", "r#2"}},
        {{"actions/checkout", "v7.0.1", sha}, {"org/multi", "v2", std::string(40, 'b')}}};
    struct Case {
        std::string line;
        std::string finding;  // empty: none
    };
    const std::vector<Case> cases = {
        {"    runs-on: ubuntu-24.04", ""},
        {"    runs-on: macos-14", "line 1: runner image macos-14 is retired (2026-11-02; r#1)"},
        {"          - os: ubuntu-22.04",
         "line 1: runner image ubuntu-22.04 is deprecated (2026-09-17; r#2)"},
        {"    runs-on: \"macos-14\"  # old",
         "line 1: runner image macos-14 is retired (2026-11-02; r#1)"},
        {"    runs-on: ${{ matrix.os }}", ""},
        {"    runs-on: self-hosted", ""},
        {"      - uses: actions/checkout@" + sha + " # v7.0.1", ""},
        {"      - uses: actions/checkout@v4",
         "line 1: actions/checkout@v4 is not the pinned v7.0.1 (aaaaaaaaaaaa)"},
        {"        uses: 'actions/checkout@v6'",
         "line 1: actions/checkout@v6 is not the pinned v7.0.1 (aaaaaaaaaaaa)"},
        {"      - uses: org/multi/sub@v1",
         "line 1: org/multi/sub@v1 is not the pinned v2 (bbbbbbbbbbbb)"},
        {"      - uses: someone/else@v1", ""},
        {"      - uses: ./local-action", ""},
        {"      - run: echo runs-on: macos-14", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto findings = stale_workflow_lines(c.line + "\n", table);
        if (c.finding.empty()) {
            EXPECT_TRUE(findings.empty()) << findings.front();
        } else {
            EXPECT_EQ(findings, std::vector<std::string>{c.finding});
        }
    }
    EXPECT_EQ(
        stale_workflow_lines("jobs:\n  a:\n    runs-on: macos-14\n", table),
        std::vector<std::string>{"line 3: runner image macos-14 is retired (2026-11-02; r#1)"});
}

TEST(DoctorReport, RendersBothFormsAndCountsProblems) {
    const DoctorReport report{{{"git", "ok", "git version 2.39.5", std::nullopt},
                               {"gh_login", "skipped", "needs gh", std::nullopt},
                               {"gh", "too_old", "gh 2.23.0", "upgrade\tgh"}}};
    EXPECT_EQ(doctor_problems(report), 1);
    EXPECT_EQ(render_doctor_json(report),
              R"({"items":[{"detail":"git version 2.39.5","fix":null,"item":"git","status":"ok"},)"
              R"({"detail":"needs gh","fix":null,"item":"gh_login","status":"skipped"},)"
              R"({"detail":"gh 2.23.0","fix":"upgrade\tgh","item":"gh","status":"too_old"}],)"
              R"("problems":1})");
    EXPECT_EQ(render_doctor_text(report),
              "git       ok       git version 2.39.5\n"
              "gh_login  skipped  needs gh\n"
              "gh        too_old  gh 2.23.0\n"
              "          fix: upgrade\\tgh\n"
              "1 problem found.");
    EXPECT_EQ(render_doctor_text(DoctorReport{{{"git", "ok", "x", std::nullopt}}}),
              "git  ok  x\nNo problems found.");
}

}  // namespace

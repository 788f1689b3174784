// The pieces of `doctor` that need no child: the platform table compiled in from
// docs/platform.md, the workflow scanner and the judge, the update seam, the registry
// addresses, the bounded file reads and the report's two forms.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "doctor/gh_install.hpp"
#include "doctor/platform_table.hpp"
#include "doctor/project_files.hpp"
#include "doctor/registry_names.hpp"
#include "doctor/update_preview.hpp"
#include "doctor/workflow_judge.hpp"
#include "doctor/workflow_scan.hpp"
#include "output/doctor_report.hpp"
#include "schema/contract.hpp"
#include "support/files.hpp"
#include "support/test_paths.hpp"

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
    EXPECT_EQ(table.checked, "2026-11-02");
    EXPECT_EQ(platform_table().checked.size(), 10u);
}

// Each form a runner label or an action reference takes in a workflow, and the forms that only
// look like one (a shell line, a block scalar, an expression).
TEST(WorkflowScan, ReadsEveryFormOfRunnerAndUses) {
    using K = WorkflowEntry::Kind;
    struct Case {
        std::string text;
        std::vector<WorkflowEntry> entries;
    };
    const std::vector<Case> cases = {
        {"jobs:\n  a:\n    runs-on: macos-14\n", {{K::Runner, 3, "macos-14", ""}}},
        {"    runs-on: \"macos-14\"  # old\n", {{K::Runner, 1, "macos-14", "old"}}},
        {"    runs-on: 'mac''s'\n", {{K::Runner, 1, "mac's", ""}}},
        {"    runs-on: [self-hosted, macos-14]\n",
         {{K::Runner, 1, "self-hosted", ""}, {K::Runner, 1, "macos-14", ""}}},
        {"    runs-on: [self-hosted,\n      \"macos-14\"]  # two lines\n",
         {{K::Runner, 1, "self-hosted", ""}, {K::Runner, 1, "macos-14", ""}}},
        {"    runs-on:\n      - self-hosted\n      - macos-14 # block\n",
         {{K::Runner, 2, "self-hosted", ""}, {K::Runner, 3, "macos-14", "block"}}},
        {"    runs-on:\n    - macos-13\n    steps: []\n", {{K::Runner, 2, "macos-13", ""}}},
        {"    runs-on:\n      group: big\n      labels: [ubuntu-22.04]\n",
         {{K::Runner, 3, "ubuntu-22.04", ""}}},
        {"    strategy:\n      matrix:\n        os: [ubuntu-20.04, macos-13]\n",
         {{K::Runner, 3, "ubuntu-20.04", ""}, {K::Runner, 3, "macos-13", ""}}},
        {"      matrix:\n        include:\n          - os: macos-14\n            target: x86\n"
         "          - {os: ubuntu-22.04, target: arm}\n",
         {{K::Runner, 3, "macos-14", ""},
          {K::Runner, 4, "x86", ""},
          {K::Runner, 5, "ubuntu-22.04", ""},
          {K::Runner, 5, "arm", ""}}},
        {"    runs-on: ${{ matrix.os }}\n", {{K::Runner, 1, "${{ matrix.os }}", ""}}},
        {"      - uses: actions/checkout@v4\n", {{K::Uses, 1, "actions/checkout@v4", ""}}},
        {"        uses: 'a/b/sub@" + std::string(40, 'c') + "' # v2.1.0\r\n",
         {{K::Uses, 1, "a/b/sub@" + std::string(40, 'c'), "v2.1.0"}}},
        // Not YAML keys: a shell line, a block scalar's body, a comment.
        {"      - run: echo runs-on: macos-14\n", {}},
        {"      - run: |\n          runs-on: macos-14\n          uses: x/y@v1\n\n"
         "        env:\n          uses: a/b@v1\n",
         {{K::Uses, 6, "a/b@v1", ""}}},
        {"    # runs-on: macos-14\n#uses: a/b@v1\n", {}},
        {"    steps:\n      - name: no runner\n        with:\n          os: macos-14\n", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(scan_workflow(c.text), c.entries);
    }
}

// Inputs that broke the line reader before: a very long line (no recursion, no copy kept),
// an unterminated flow sequence, bytes that are not UTF-8, no final line feed.
TEST(WorkflowScan, HugeAndMalformedInputsEndQuickly) {
    std::string long_comment = "# " + std::string(10 << 20, 'x') + "\n    runs-on: macos-14\n";
    EXPECT_EQ(scan_workflow(long_comment).size(), 1u);
    const std::string long_flow = "    runs-on: [" + std::string(10 << 20, 'a') + "\n";
    EXPECT_TRUE(scan_workflow(long_flow).empty());
    const std::string open_flow = "    runs-on: [a,\n" + std::string(200000, '\n') + "b\n";
    EXPECT_TRUE(scan_workflow(open_flow).empty());
    const auto bytes = scan_workflow("    runs-on: mac\xff\xfe\n    uses: a/b@v1");
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[0].value, "mac\xff\xfe");
    EXPECT_EQ(bytes[1].value, "a/b@v1");
}

TEST(WorkflowJudge, SeveritiesFollowWhatBreaks) {
    const std::string sha(40, 'a'), older(40, 'b');
    const PlatformTable table{
        {{"ubuntu-24.04", "available", "2026-12-07", "s"},
         {"macos-15", "available", "2026-12-07", "s"},
         {"macos-15-intel", "available", "2026-12-07", "s"},
         {"macos-14", "retired", "2026-11-02", "r#1"},
         {"ubuntu-22.04", "deprecated", "2026-09-17", "retired 2027-04-17, r#2"}},
        {{"actions/checkout", "v7.0.1", sha}, {"dtolnay/rust-toolchain", "stable", sha}},
        "2026-12-08"};
    using K = WorkflowEntry::Kind;
    struct Case {
        WorkflowEntry entry;
        std::string severity;  // empty: no finding
        std::string message;
        std::string stale;
    };
    const std::vector<Case> cases = {
        {{K::Runner, 4, "macos-14", ""},
         "error",
         "runner image macos-14 is retired (2026-11-02; r#1): the job never starts",
         "macos-14"},
        {{K::Runner, 5, "ubuntu-22.04", ""},
         "warning",
         "runner image ubuntu-22.04 is deprecated since 2026-09-17 and retires on 2027-04-17 "
         "(retired 2027-04-17, r#2)",
         "ubuntu-22.04"},
        {{K::Runner, 1, "ubuntu-24.04", ""}, "", "", ""},
        {{K::Runner, 1, "self-hosted", ""}, "", "", ""},
        {{K::Runner, 1, "${{ matrix.os }}", ""}, "", "", ""},
        {{K::Uses, 1, "actions/checkout@" + sha, "v7.0.1"}, "", "", ""},
        {{K::Uses, 2, "actions/checkout@v4", ""},
         "warning",
         "actions/checkout@v4 is on a tag, not a commit SHA; this tarnwick pins v7.0.1 "
         "(aaaaaaaaaaaa)",
         "actions/checkout@v4"},
        {{K::Uses, 2, "actions/checkout@v8", ""},
         "warning",
         "actions/checkout@v8 is on a tag, not a commit SHA",
         ""},
        {{K::Uses, 3, "actions/checkout@" + older, "v7.1.0"},
         "note",
         "actions/checkout@bbbbbbbbbbbb (v7.1.0) is newer than this tarnwick knows (v7.0.1 "
         "(aaaaaaaaaaaa))",
         ""},
        {{K::Uses, 3, "actions/checkout@" + older, "v6.0.0"},
         "warning",
         "actions/checkout@bbbbbbbbbbbb (v6.0.0) is older than the pinned v7.0.1 (aaaaaaaaaaaa)",
         "actions/checkout@" + older},
        {{K::Uses, 3, "actions/checkout/sub@" + older, "v7.0.1"},
         "warning",
         "actions/checkout/sub@bbbbbbbbbbbb (v7.0.1) is not the commit of v7.0.1 (aaaaaaaaaaaa)",
         "actions/checkout/sub@" + older},
        {{K::Uses, 3, "dtolnay/rust-toolchain@" + older, "stable"},
         "note",
         "dtolnay/rust-toolchain@bbbbbbbbbbbb (stable) is not the commit this tarnwick pins, "
         "stable (aaaaaaaaaaaa), and names no version to compare: it may be newer than this "
         "tarnwick knows",
         ""},
        {{K::Uses, 3, "someone/else@" + older, ""},
         "note",
         "someone/else is not in this tarnwick's table: newer than this tarnwick knows",
         ""},
        {{K::Uses, 3, "someone/else@main", ""},
         "warning",
         "someone/else@main is on a tag, not a commit SHA",
         ""},
        {{K::Uses, 3, "./local", ""}, "", "", ""},
        {{K::Uses, 3, "docker://alpine:3", ""}, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.value);
        const auto findings = judge_workflow({c.entry}, table);
        if (c.severity.empty()) {
            EXPECT_TRUE(findings.empty()) << findings.front().message;
            continue;
        }
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].line, c.entry.line);
        EXPECT_EQ(severity_name(findings[0].severity), c.severity);
        EXPECT_EQ(findings[0].message, c.message);
        EXPECT_EQ(findings[0].stale, c.stale);
        EXPECT_EQ(findings[0].edit.empty(), c.severity == "note");
    }
    const auto retired = judge_workflow({{K::Runner, 1, "macos-14", ""}}, table);
    EXPECT_EQ(retired[0].edit,
              "replace macos-14 with an available image (macos-15, macos-15-intel)");
    EXPECT_EQ(compare_versions("v7.10", "v7.9.9"), 1);
    EXPECT_EQ(compare_versions("7", "v7.0.0"), 0);
    EXPECT_EQ(compare_versions("v1.2", "stable"), std::nullopt);
}

// A fix is pasted into a shell: a command in it names the action and ref only when both are
// plain names, and the workflow's other text never reaches a fix at all.
TEST(WorkflowJudge, AFixNamesOnlyPlainNames) {
    const std::string sha(40, 'a');
    const PlatformTable table{{}, {{"actions/checkout", "v7.0.1", sha}}, "2026-12-08"};
    const std::string prose =
        "pin it to the commit that its tag names, as listed by `git ls-remote` of the action's "
        "repository";
    const struct {
        std::string uses;
        std::string edit;
    } cases[] = {
        {"someone/else@main",
         "pin it to the commit main names: `git ls-remote https://github.com/someone/else main`"},
        {"some-one/else.rs@release/v1.2_x",
         "pin it to the commit release/v1.2_x names: `git ls-remote "
         "https://github.com/some-one/else.rs release/v1.2_x`"},
        {"evil/x@v1 $(touch PWNED)", prose},
        {"evil/x@v1;touch PWNED", prose},
        {"evil/x@`touch PWNED`", prose},
        {"evil/x@--upload-pack=touch", prose},
        {"evil/x@-v1", prose},
        {"evil/x@..", prose},
        {"evil/$(touch PWNED)@v1", prose},
        {"evil'x/y@v1", prose},
        {"actions/checkout/sub@v4", "pin it as actions/checkout/sub@" + sha + " # v7.0.1"},
        {"actions/checkout/$(touch PWNED)@v4", "pin it to the commit " + sha + " (v7.0.1)"},
        {"actions/checkout/a b@v4", "pin it to the commit " + sha + " (v7.0.1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uses);
        const auto findings = judge_workflow({{WorkflowEntry::Kind::Uses, 7, c.uses, ""}}, table);
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].edit, c.edit);
    }
}

// doctor suggests `tarnwick update` only for text today's templates no longer hold.
TEST(UpdatePreview, OnlyTemplateFilesWhoseTemplateMovedOn) {
    EXPECT_TRUE(update_would_change(".", ".github/workflows/release.yml", "macos-14"));
    EXPECT_TRUE(update_would_change(".", ".github/workflows/ci.yml", "actions/checkout@v4"));
    EXPECT_FALSE(update_would_change(".", ".github/workflows/release.yml", "macos-15"));
    EXPECT_FALSE(update_would_change(".", ".github/workflows/mine.yml", "macos-14"));
    EXPECT_FALSE(update_would_change(".", ".github/workflows/ci.yml", ""));
}

TEST(ProjectFiles, TomlStringsAndBoundedReads) {
    const std::string toml =
        "[workspace]\nname = \"no\"\n[package]\nversion = \"1\"\nname = 'demo'  # c\n"
        "repository = \"https://github.com/acme/demo\"\nnamed = \"x\"\n[project]\nname = 3\n";
    EXPECT_EQ(toml_string(toml, "package", "name"), "demo");
    EXPECT_EQ(toml_string(toml, "package", "repository"), "https://github.com/acme/demo");
    EXPECT_EQ(toml_string(toml, "project", "name"), std::nullopt);
    EXPECT_EQ(toml_string(toml, "package", "missing"), std::nullopt);

    tarnwick::testing::TempDir dir;
    const std::string file = dir.path() + "/f";
    tarnwick::testing::write_file(file, "12345");
    EXPECT_EQ(read_regular_file(file, 5).value(), "12345");
    EXPECT_EQ(read_regular_file(file, 4).error().code, EFBIG);
    EXPECT_EQ(read_regular_file(dir.path(), 4).error().code, EINVAL);
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(read_regular_file(dir.path() + "/fifo", 4).error().code, EINVAL);
}

TEST(RegistryNames, AddressesAndSameRepository) {
    EXPECT_EQ(crate_index_path("a"), "1/a");
    EXPECT_EQ(crate_index_path("Ab"), "2/ab");
    EXPECT_EQ(crate_index_path("abc"), "3/a/abc");
    EXPECT_EQ(crate_index_path("Serde_json"), "se/rd/serde_json");
    EXPECT_EQ(pypi_normalized("My__Tool.x"), "my-tool-x");
    EXPECT_TRUE(
        same_repository("http://GitHub.com/acme/demo.git/", "https://github.com/acme/demo"));
    EXPECT_FALSE(same_repository("https://github.com/acme/demo2", "https://github.com/acme/demo"));
    EXPECT_FALSE(same_repository("", ""));
}

TEST(DoctorReport, RendersBothFormsAndCountsProblems) {
    const DoctorReport report{{{"git", DoctorStatus::Ok, "git version 2.39.5", std::nullopt},
                               {"gh_login", DoctorStatus::Skipped, "needs gh", std::nullopt},
                               {"crate_name", DoctorStatus::Unknown, "no answer", std::nullopt},
                               {"gh", DoctorStatus::TooOld, "gh 2.23.0", "upgrade\tgh"},
                               {"ci.yml",
                                DoctorStatus::Stale,
                                "1 error",
                                "tarnwick update",
                                {{4, Severity::Error, "retired", "tarnwick update"},
                                 {7, Severity::Warning, "tag", "edit line 7"},
                                 {9, Severity::Note, "newer", std::nullopt}}}}};
    EXPECT_EQ(doctor_problems(report), 2);
    EXPECT_EQ(render_doctor_json(report),
              R"({"items":[{"detail":"git version 2.39.5","findings":[],"fix":null,"item":"git",)"
              R"("status":"ok"},{"detail":"needs gh","findings":[],"fix":null,"item":"gh_login",)"
              R"("status":"skipped"},{"detail":"no answer","findings":[],"fix":null,)"
              R"("item":"crate_name","status":"unknown"},{"detail":"gh 2.23.0","findings":[],)"
              R"("fix":"upgrade\tgh","item":"gh","status":"too_old"},{"detail":"1 error",)"
              R"("findings":[{"fix":"tarnwick update","line":4,"message":"retired",)"
              R"("severity":"error"},{"fix":"edit line 7","line":7,"message":"tag",)"
              R"("severity":"warning"},{"fix":null,"line":9,"message":"newer","severity":"note"}],)"
              R"("fix":"tarnwick update","item":"ci.yml","status":"stale"}],"problems":2})");
    EXPECT_EQ(render_doctor_text(report),
              "git         ok       git version 2.39.5\n"
              "gh_login    skipped  needs gh\n"
              "crate_name  unknown  no answer\n"
              "gh          too_old  gh 2.23.0\n"
              "            fix: upgrade\\tgh\n"
              "ci.yml      stale    1 error\n"
              "            fix: tarnwick update\n"
              "            line 4: error: retired\n"
              "            line 7: warning: tag (fix: edit line 7)\n"
              "            line 9: note: newer\n"
              "2 problems found.");
    EXPECT_EQ(render_doctor_text(DoctorReport{{{"git", DoctorStatus::Ok, "x", std::nullopt}}}),
              "git  ok  x\nNo problems found.");
}

// The names in a contract list: "a, b, c or d", "a, b and c".
std::set<std::string> listed_names(std::string text) {
    for (const std::string_view joint : {" or ", " and "}) {
        if (const auto at = text.rfind(joint); at != std::string::npos) {
            text.replace(at, joint.size(), ", ");
        }
    }
    std::set<std::string> names;
    for (std::size_t at = 0; at <= text.size();) {
        const auto comma = std::min(text.find(", ", at), text.size());
        names.insert(text.substr(at, comma - at));
        at = comma + 2;
    }
    return names;
}

// Every status an item can carry is in the contract under the name the report gives it, and
// `problems` counts it exactly when the contract does not list it as no problem.
TEST(DoctorStatuses, EachOneAnItemCanCarryIsInTheContract) {
    const Json whole = contract();
    std::string description, problems;
    for (const Json& command : whole["commands"]) {
        if (command["name"] != "doctor") continue;
        description = command["description"].get<std::string>();
        for (const Json& field : command["output_fields"]) {
            if (field["name"] == "problems") problems = field["description"].get<std::string>();
        }
    }
    const std::string open = "Each item has a status (";
    const auto from = description.find(open);
    ASSERT_NE(from, std::string::npos) << description;
    const auto start = from + open.size();
    const auto listed =
        listed_names(description.substr(start, description.find(')', start) - start));
    const std::string none_of = "Items whose status is none of ";
    ASSERT_EQ(problems.rfind(none_of, 0), 0u) << problems;
    const auto no_problem =
        listed_names(problems.substr(none_of.size(), problems.size() - none_of.size() - 1));
    const auto count = static_cast<std::size_t>(DoctorStatus::Skipped) + 1;
    for (std::size_t i = 0; i < count; ++i) {
        const DoctorReport report{{{"x", static_cast<DoctorStatus>(i), "", std::nullopt}}};
        const std::string name = Json::parse(render_doctor_json(report))["items"][0]["status"];
        SCOPED_TRACE(name);
        EXPECT_EQ(listed.count(name), 1u);
        EXPECT_EQ(doctor_problems(report), no_problem.count(name) ? 0 : 1);
    }
    EXPECT_EQ(listed.size(), count);
    EXPECT_EQ(listed.count("too_new"), 1u);
    EXPECT_EQ(no_problem, (std::set<std::string>{"ok", "unknown", "skipped"}));
}

// The fix for a missing or old gh is the way gh is installed on the system doctor runs on.
TEST(DoctorGhFix, NamesTheWayThisSystemInstallsGh) {
    const std::string deb_list = "/.\n/usr\n/usr/bin\n/usr/bin/gh\n";
    const std::string apt_upgrade =
        "upgrade gh from the GitHub CLI's own apt repository, set up as "
        "https://github.com/cli/cli/blob/trunk/docs/install_linux.md describes (the "
        "distribution's gh stays behind)";
    struct Case {
        const char* name;
        GhPlace place;
        GhSource source;
        std::string upgrade;
    };
    const Case cases[] = {
        {"macOS",
         {true, "/opt/homebrew/bin/gh", std::nullopt, false, std::nullopt},
         GhSource::Homebrew,
         "brew upgrade gh"},
        {"Debian's gh",
         {false, "/usr/bin/gh", "/usr/bin/gh", true, deb_list},
         GhSource::Apt,
         apt_upgrade},
        {"found through /bin",
         {false, "/bin/gh", "/usr/bin/gh", true, deb_list},
         GhSource::Apt,
         apt_upgrade},
        {"Homebrew on Linux",
         {false, "/home/linuxbrew/.linuxbrew/bin/gh",
          "/home/linuxbrew/.linuxbrew/Cellar/gh/2.30.0/bin/gh", true, deb_list},
         GhSource::Homebrew,
         "brew upgrade gh"},
        {"a gh dpkg does not own",
         {false, "/usr/local/bin/gh", "/usr/local/bin/gh", true, deb_list},
         GhSource::Other,
         "upgrade gh as https://github.com/cli/cli#installation describes"},
        {"a prefix of a listed path",
         {false, "/usr/bin/g", "/usr/bin/g", true, deb_list},
         GhSource::Other,
         "upgrade gh as https://github.com/cli/cli#installation describes"},
        {"no gh, no dpkg",
         {false, std::nullopt, std::nullopt, false, std::nullopt},
         GhSource::Other,
         "upgrade gh as https://github.com/cli/cli#installation describes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(gh_source(c.place), c.source);
        EXPECT_EQ(gh_fix(gh_source(c.place), true), c.upgrade);
    }
    EXPECT_EQ(gh_source({false, std::nullopt, std::nullopt, true, std::nullopt}), GhSource::Apt);
    EXPECT_EQ(gh_fix(GhSource::Homebrew, false), "brew install gh");
    EXPECT_EQ(gh_fix(GhSource::Apt, false).rfind("install gh from the GitHub CLI's own apt", 0),
              0u);
}

}  // namespace

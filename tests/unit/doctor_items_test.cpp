// Doctor's registry of items: the tables indexed by an enum refuse a hole at compile time, each
// check gives the status its child's outcome calls for (run alone, against stubs), and the
// contract and the README say what the rows say.
#include "doctor/doctor_items.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <functional>

#include "core/json.hpp"
#include "doctor/doctor_run.hpp"
#include "process/gh_version.hpp"
#include "process/git_version.hpp"
#include "schema/contract.hpp"
#include "support/files.hpp"
#include "support/stub_runner.hpp"
#include "support/test_paths.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace doctor_items_test {

// indexed_by_enum, the check behind kDoctorStatuses and kSeverities, refuses a table with a
// row out of place, without the last enumerator's row, or with a row too many.
enum class Three { A, B, C };
struct Row {
    Three value;
};
static_assert(indexed_by_enum<Three::C>(std::array<Row, 3>{{{Three::A}, {Three::B}, {Three::C}}}));
static_assert(!indexed_by_enum<Three::C>(std::array<Row, 3>{{{Three::A}, {Three::C}, {Three::B}}}));
static_assert(!indexed_by_enum<Three::C>(std::array<Row, 2>{{{Three::A}, {Three::B}}}));
static_assert(!indexed_by_enum<Three::B>(std::array<Row, 3>{{{Three::A}, {Three::B}, {Three::C}}}));

// sound_items, the check behind kDoctorItems, refuses two rows of one name, ok among the
// other statuses, and a ';' or '|' in when a row is ok.
constexpr DoctorItemCheck kFine{"a", {DoctorStatus::Missing}, "ok when there", doctor_check::git};
constexpr DoctorItemCheck with(std::string_view item, DoctorStatusSet others,
                               std::string_view ok_when) {
    return {item, others, ok_when, doctor_check::git};
}
static_assert(sound_items(std::array{kFine, with("b", {}, "always")}));
static_assert(!sound_items(std::array{kFine, with("a", {}, "always")}));
static_assert(!sound_items(std::array{with("b", {DoctorStatus::Ok}, "always")}));
static_assert(!sound_items(std::array{with("b", {}, "always; then")}));
static_assert(!sound_items(std::array{with("b", {}, "a | b")}));

const DoctorItemCheck& row_of(std::string_view item) {
    for (const DoctorItemCheck& row : kDoctorItems) {
        if (row.item == item) return row;
    }
    ADD_FAILURE() << "no row " << item;
    return kDoctorItems.front();
}

// The call under test answering as a registry does: the body, then the status code on stderr.
Reply http(std::string body, const char* code) {
    Reply r = output(std::move(body));
    r.err = std::string("\n") + code;
    return r;
}

// How a check runs on its own: what earlier items found and the calls made before the one
// under test (set), that call, and its answer when all is well.
struct Scene {
    const char* check;
    std::vector<std::string> call;
    Reply fine;
    std::function<void(DoctorRun&, StubRunner&)> set = [](DoctorRun&, StubRunner&) {};
};

std::vector<Scene> scenes(const std::string& project) {
    const std::vector<std::string> view = {
        "gh", "repo", "view", "*", "--json", "viewerPermission", "--jq", ".viewerPermission"};
    auto logged_in = [](DoctorRun& run, StubRunner&) {
        run.target = "acme/tool";
        run.tap = "acme/homebrew-tap";
        run.gh.logged_in = true;
    };
    auto crate_found = [](DoctorRun& run, StubRunner& stubs) {
        run.target = "acme/demo";
        stubs.expect({"curl", "..."}, http("{}\n", "200"));  // the index has the name
    };
    return {
        {"git", {"git", "--version"}, output("git version 2.45.1\n")},
        {"cargo",
         {"cargo", "--version"},
         output("cargo 1.90.0 (abc 2026-01-01)\n"),
         [](DoctorRun&, StubRunner& stubs) {
             stubs.expect({"rustup", "show", "active-toolchain"},
                          output("stable-x86_64-unknown-linux-gnu (default)\n"));
         }},
        {"rustfmt",
         {"cargo", "fmt", "--version"},
         output("rustfmt 1.8.0-stable\n"),
         [](DoctorRun& run, StubRunner&) { run.cargo_runs = true; }},
        {"gh", {"gh", "--version"}, output("gh version 2.40.0 (2024-01-01)\n")},
        {"gh_login",
         {"gh", "auth", "status"},
         output("Logged in to github.com\n"),
         [](DoctorRun& run, StubRunner& stubs) {
             run.gh.answers = true;
             stubs.allow({"gh", "api", "user", "--jq", ".login"}, output("acme\n"));
         }},
        {"repo", view, output("ADMIN\n"), logged_in},
        {"tap", view, output("ADMIN\n"), logged_in},
        {"crate_name",
         {"curl", "..."},
         http(R"({"crate":{"repository":"https://github.com/acme/demo"}})", "200"),
         crate_found},
        {"pypi_name",
         {"curl", "..."},
         http(R"({"info":{"home_page":"https://github.com/acme/demo"}})", "200"),
         [](DoctorRun& run, StubRunner&) { run.target = "acme/demo"; }},
        {"cargo_lock",
         {"git", "-C", project, "ls-tree", "--name-only", "HEAD", "--", "Cargo.lock"},
         output("Cargo.lock\n"),
         [](DoctorRun& run, StubRunner&) { run.project.cargo_toml = "[package]\n"; }},
    };
}

// Runs the scene's check with its call answered by reply; the one item it adds.
DoctorItem run_scene(const Scene& scene, const std::string& project, const Reply& reply) {
    DoctorRun run{.project = {project, project, std::nullopt, std::nullopt}};
    {
        StubRunner stubs;
        scene.set(run, stubs);
        stubs.expect(scene.call, reply);
        run_doctor_check(run, row_of(scene.check));
    }
    EXPECT_EQ(run.items.size(), 1u);
    if (run.items.empty()) return {};
    const DoctorItem& item = run.items.front();
    EXPECT_EQ(item.item, scene.check);
    EXPECT_TRUE(item.status == DoctorStatus::Ok || row_of(scene.check).others.contains(item.status))
        << doctor_status_name(item.status) << " is not among the row's statuses";
    return item;
}

const Scene& scene_of(const std::vector<Scene>& all, std::string_view check) {
    return *std::find_if(all.begin(), all.end(), [&](const Scene& s) { return s.check == check; });
}

// Each check that starts a child, against every way a child ends: its answer, a non-zero
// exit, a time-out, an answer cut at the cap (whitespace past it: only a check that trusts a
// cut answer would still read it) and a program that is not there.
TEST(DoctorChecks, EachWayAChildEndsGivesItsStatus) {
    TempDir project;
    write_file(project / "Cargo.lock", "");
    const std::vector<Scene> all = scenes(project.path());
    using enum DoctorStatus;
    struct Case {
        const char* check;
        std::array<DoctorStatus, 5> status;  // answered, failed, timed out, cut, not found
    };
    const Case cases[] = {
        {"git", {Ok, Unusable, Unknown, Ok, Missing}},
        {"cargo", {Ok, Unusable, Unknown, Ok, Missing}},
        {"rustfmt", {Ok, Missing, Unknown, Ok, Missing}},
        {"gh", {Ok, Unusable, Unknown, Ok, Missing}},
        {"gh_login", {Ok, NotLoggedIn, Unknown, Ok, NotLoggedIn}},
        {"repo", {Ok, Unreachable, Unknown, Ok, Unreachable}},
        {"tap", {Ok, Unreachable, Unknown, Ok, Unreachable}},
        {"crate_name", {Ok, Unknown, Unknown, Unknown, Unknown}},
        {"pypi_name", {Ok, Unknown, Unknown, Unknown, Unknown}},
        {"cargo_lock", {Ok, Uncommitted, Unknown, Ok, Unknown}},
    };
    for (const Case& c : cases) {
        const Scene& scene = scene_of(all, c.check);
        Reply cut = scene.fine;
        cut.out += std::string(kQueryKeptBytes, ' ');
        const Reply ends[] = {scene.fine, failure("it failed\n", 1), timed_out(), cut,
                              not_started(ENOENT)};
        const char* names[] = {"answered", "failed", "timed out", "cut", "not found"};
        for (std::size_t i = 0; i < std::size(ends); ++i) {
            SCOPED_TRACE(std::string(c.check) + ", " + names[i]);
            EXPECT_EQ(doctor_status_name(run_scene(scene, project.path(), ends[i]).status),
                      doctor_status_name(c.status[i]));
        }
    }
}

// The contract's description names every item, in the rows' order, and every status an item can
// have: a status cannot be missing from the contract.
TEST(DoctorItems, TheContractNamesEveryItemWithItsStatuses) {
    const Json whole = contract();
    std::string description;
    for (const Json& command : whole["commands"]) {
        if (command["name"] == "doctor") description = command["description"].get<std::string>();
    }
    std::size_t at = 0;
    for (const DoctorItemCheck& row : kDoctorItems) {
        SCOPED_TRACE(row.item);
        at = description.find("`" + std::string(row.item) + "`", at);
        ASSERT_NE(at, std::string::npos) << description;
        const std::string_view entry =
            std::string_view(description)
                .substr(at, description.find('`', at + 1 + row.item.size() + 1) - at);
        for (const DoctorStatusFacts& s : kDoctorStatuses) {
            if (!row.others.contains(s.value)) continue;
            EXPECT_NE(entry.find(s.name), std::string_view::npos) << entry;
        }
    }
    // The versions the rows name are the ones the program asks for.
    EXPECT_NE(row_of("git").ok_when.find(to_string(kGitForUpdate)), std::string_view::npos);
    EXPECT_NE(row_of("gh").ok_when.find(to_string(kGhForSecrets)), std::string_view::npos);
}

// The README's table of items, between its markers, is the one the rows make.
TEST(DoctorItems, TheReadmeTableIsTheRegistrys) {
    std::string table = "| item | ok when | otherwise |\n| --- | --- | --- |\n";
    for (const DoctorItemCheck& row : kDoctorItems) {
        std::string others;
        for (const DoctorStatusFacts& s : kDoctorStatuses) {
            if (!row.others.contains(s.value)) continue;
            others += std::string(others.empty() ? "" : ", ") + "`" + std::string(s.name) + "`";
        }
        table += "| `" + std::string(row.item) + "` | " + std::string(row.ok_when) + " | " +
                 others + (others.empty() ? "|" : " |") + "\n";
    }
    const std::string readme = read_file(std::string(TARNWICK_SOURCE_DIR) + "/README.md");
    const std::string open = "<!-- doctor items -->\n", close = "<!-- end of doctor items -->";
    const auto from = readme.find(open), to = readme.find(close);
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to)
        << "README.md has no " << open << " ... " << close << " section";
    EXPECT_EQ(readme.substr(from + open.size(), to - from - open.size()), table)
        << "README.md's table of doctor's items should read, from src/doctor/doctor_items.hpp:\n"
        << table;
}

}  // namespace doctor_items_test

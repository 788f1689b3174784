// The text and JSON forms of the `new` and `check` reports.
#include <gtest/gtest.h>

#include "output/check_report.hpp"
#include "output/new_report.hpp"

using namespace tarnwick;

namespace {
NewReport sample_new_report() {
    NewReport r;
    r.created = "./demo";
    r.files = {"Cargo.toml", "src/main.rs"};
    r.committed = true;
    r.next = {"cd ./demo && make check", "tarnwick secrets kestrow/demo"};
    return r;
}
}  // namespace

TEST(NewReportText, CommittedWithoutRepository) {
    EXPECT_EQ(render_new_text(sample_new_report()),
              "Scaffolded ./demo (2 files, committed)\nNext:\n  - cd ./demo && make check\n"
              "  - tarnwick secrets kestrow/demo");
}

TEST(NewReportText, RepositoryLineAndNoCommit) {
    NewReport r = sample_new_report();
    r.committed = false;
    r.repo = "kestrow/demo";
    r.next = {"x"};
    EXPECT_EQ(render_new_text(r),
              "Scaffolded ./demo (2 files)\nCreated and pushed github.com/kestrow/demo\nNext:\n"
              "  - x");
}

TEST(NewReportJson, KeysInByteOrderNullRepoAndNoNameOrOwner) {
    EXPECT_EQ(render_new_json(sample_new_report()),
              "{\"committed\":true,\"created\":\"./demo\",\"files\":[\"Cargo.toml\","
              "\"src/main.rs\"],\"next\":[\"cd ./demo && make check\",\"tarnwick secrets "
              "kestrow/demo\"],\"repo\":null}");
    NewReport r = sample_new_report();
    r.repo = "kestrow/demo";
    r.created = "d\xC3\xA9j\xC3\xA0/\"q\"\x01";
    EXPECT_NE(render_new_json(r).find("\"created\":\"d\xC3\xA9j\xC3\xA0/\\\"q\\\"\\u0001\""),
              std::string::npos);
    EXPECT_NE(render_new_json(r).find("\"repo\":\"kestrow/demo\"}"), std::string::npos);
}

TEST(CheckReport, TextAndJsonForms) {
    CheckReport r{.name = "demo", .destination = "./demo", .available = true};
    EXPECT_EQ(render_check_text(r), "./demo: available");
    EXPECT_EQ(render_check_json(r),
              "{\"available\":true,\"destination\":\"./demo\",\"name\":\"demo\"}");
    r.available = false;
    EXPECT_EQ(render_check_text(r), "./demo: already exists");
    EXPECT_EQ(render_check_json(r),
              "{\"available\":false,\"destination\":\"./demo\",\"name\":\"demo\"}");
}

// Renderings of the secrets and verify reports in both formats.
#include "output/secrets_report.hpp"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(SecretsReportRendering, RealRunWithSkipsAndANote) {
    SecretsReport report{"o/t",
                         false,
                         {"HOMEBREW_TAP_DEPLOY_KEY"},
                         {{"CARGO_REGISTRY_TOKEN", "r1"}, {"PYPI_API_TOKEN", "r2"}},
                         {"rotated existing deploy key t release (CI push) on o/homebrew-tap"}};
    EXPECT_EQ(render_secrets_report(report, OutputFormat::Text),
              "Secrets on o/t\n"
              "  set: HOMEBREW_TAP_DEPLOY_KEY\n"
              "  skipped CARGO_REGISTRY_TOKEN: r1\n"
              "  skipped PYPI_API_TOKEN: r2\n"
              "  note: rotated existing deploy key t release (CI push) on o/homebrew-tap");
    EXPECT_EQ(render_secrets_report(report, OutputFormat::Json),
              R"({"repo":"o/t","dry_run":false,"set":["HOMEBREW_TAP_DEPLOY_KEY"],)"
              R"("skipped":[{"secret":"CARGO_REGISTRY_TOKEN","reason":"r1"},)"
              R"({"secret":"PYPI_API_TOKEN","reason":"r2"}],)"
              R"("notes":["rotated existing deploy key t release (CI push) on o/homebrew-tap"]})");
}

TEST(SecretsReportRendering, EmptyListsAndEscapes) {
    SecretsReport report{"o/\"q\"\\\x01\t/é", true, {}, {}, {}};
    // A terminal gets no control characters: they are written escaped; the rest stays as it is.
    EXPECT_EQ(render_secrets_report(report, OutputFormat::Text),
              "Secrets on o/\"q\"\\\\u{1}\\t/é (dry run)");
    EXPECT_EQ(render_secrets_report(report, OutputFormat::Json),
              R"({"repo":"o/\"q\"\\\u0001\t/é","dry_run":true,"set":[],"skipped":[],"notes":[]})");
}

TEST(VerifyReportRendering, LinesAppearOnlyForNonEmptyLists) {
    VerifyReport some{
        "owner/tool", {"HOMEBREW_TAP_DEPLOY_KEY"}, {"CARGO_REGISTRY_TOKEN", "PYPI_API_TOKEN"}};
    EXPECT_EQ(render_verify_report(some, OutputFormat::Text),
              "Release secrets on owner/tool\n"
              "  set: HOMEBREW_TAP_DEPLOY_KEY\n"
              "  missing: CARGO_REGISTRY_TOKEN, PYPI_API_TOKEN");
    EXPECT_EQ(render_verify_report(some, OutputFormat::Json),
              R"({"repo":"owner/tool","present":["HOMEBREW_TAP_DEPLOY_KEY"],)"
              R"("missing":["CARGO_REGISTRY_TOKEN","PYPI_API_TOKEN"]})");
    VerifyReport all{"o/t", {"A", "B"}, {}};
    EXPECT_EQ(render_verify_report(all, OutputFormat::Text), "Release secrets on o/t\n  set: A, B");
    EXPECT_EQ(render_verify_report(all, OutputFormat::Json),
              R"({"repo":"o/t","present":["A","B"],"missing":[]})");
    VerifyReport none{"o/t", {}, {"A"}};
    EXPECT_EQ(render_verify_report(none, OutputFormat::Text),
              "Release secrets on o/t\n  missing: A");
}

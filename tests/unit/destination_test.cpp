// The project destination on file systems that ignore case (macOS's default) and on those that
// do not: an entry spelt in another case is found and named in the `exists` error, and where
// the file system tells the spellings apart, `new` keeps making the directory it was asked for.
#include "scaffold/destination.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "support/files.hpp"

using namespace tarnwick;
using tarnwick::testing::TempDir;

namespace {

TEST(Destination, FindsTheEntryThatDiffersOnlyInCase) {
    struct Case {
        std::vector<std::string> entries;
        const char* name;
        std::optional<std::string> variant;
    };
    const Case cases[] = {
        {{"Demo"}, "demo", "Demo"},
        {{"DEMO", "other"}, "demo", "DEMO"},
        {{"demo"}, "demo", std::nullopt},          // taken as it is spelt
        {{"Demo", "demo"}, "demo", std::nullopt},  // both spellings: the exact one is it
        {{"demo-tool", "Dem"}, "demo", std::nullopt},
        {{"demo_tool"}, "demo-tool", std::nullopt},  // cargo's equivalence is not the file system's
        {{}, "demo", std::nullopt},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string listed;
        for (const auto& entry : c.entries) {
            listed += entry + " ";
            ASSERT_EQ(::mkdir((dir / entry).c_str(), 0700), 0) << entry;
        }
        SCOPED_TRACE(listed + "? " + c.name);
        EXPECT_EQ(case_variant_in(dir.path(), c.name), c.variant);
    }
    EXPECT_EQ(case_variant_in("/nonexistent-tarnwick-dir", "demo"), std::nullopt);
}

TEST(Destination, ATakenDestinationIsNamedAsTheFileSystemSpellsIt) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "Demo").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir / "other").c_str(), 0700), 0);
    const CliError variant = destination_taken(dir / "demo", "into/demo");
    EXPECT_EQ(variant.kind(), ErrorKind::Exists);
    EXPECT_EQ(
        variant.message(),
        "into/Demo (which this file system does not tell apart from \"demo\") already exists");
    EXPECT_EQ(destination_taken(dir / "other", "into/other").message(),
              "into/other already exists");

    // Where the file system tells them apart, "demo" beside "Demo" is a directory of its own.
    struct stat st;
    if (::stat((dir / "demo").c_str(), &st) == 0) GTEST_SKIP() << "this file system ignores case";
    ASSERT_TRUE(claim_project_directory(dir / "demo", "demo").ok());
    EXPECT_EQ(case_variant_in(dir.path(), "demo"), std::nullopt);
    const auto again = claim_project_directory(dir / "demo", "demo");
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().message(), "demo already exists");
}

}  // namespace

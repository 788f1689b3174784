// Reading gh's version from what `gh --version` prints, and ordering versions.
#include "process/gh_version.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(GhVersion, ReadsTheFirstLineOrNothing) {
    const struct {
        const char* printed;
        std::optional<GhVersion> want;
    } cases[] = {
        {"gh version 2.23.0+dfsg1 (2023-01-23)\nhttps://github.com/cli/cli/releases/tag/v2.23.0\n",
         GhVersion{2, 23, 0}},
        {"gh version 2.36.0 (2023-10-03)\n", GhVersion{2, 36, 0}},
        {"gh version 2.100.12", GhVersion{2, 100, 12}},
        {"gh version 2.40.0-rc.1 (2023-12-01)\n", GhVersion{2, 40, 0}},
        {"gh version DEV\n", std::nullopt},
        {"gh version 2.36\n", std::nullopt},
        {"gh version 2.36.0x\n", std::nullopt},
        {"gh version -2.36.0\n", std::nullopt},
        {"gh version +2.36.0\n", std::nullopt},
        {"gh version 99999999999.0.0\n", std::nullopt},
        {" gh version 2.36.0\n", std::nullopt},
        {"hub version 2.36.0\n", std::nullopt},
        {"\ngh version 2.36.0\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        EXPECT_EQ(parse_gh_version(c.printed), c.want);
    }
}

TEST(GhVersion, OrdersByNumberNotText) {
    EXPECT_LT((GhVersion{2, 35, 9}), kGhForSecrets);
    EXPECT_LT((GhVersion{2, 9, 0}), kGhForSecrets);
    EXPECT_GT((GhVersion{2, 100, 0}), kGhForSecrets);
    EXPECT_GE((GhVersion{2, 36, 0}), kGhForSecrets);
    EXPECT_LT((GhVersion{1, 99, 99}), kGhForRepoCreate);
    EXPECT_EQ(to_string(GhVersion{2, 100, 3}), "2.100.3");
}

}  // namespace
}  // namespace tarnwick

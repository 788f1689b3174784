// Target resolution and the parts of a target that name the key and the default tap.
#include "secrets/release_secrets.hpp"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(SecretsTarget, SlashAnywhereKeepsRepoElseOwnerIsPrefixed) {
    EXPECT_EQ(resolve_target("tool", "kestrow"), "kestrow/tool");
    EXPECT_EQ(resolve_target("me/tool", "kestrow"), "me/tool");
    EXPECT_EQ(resolve_target("a/b/c", "kestrow"), "a/b/c");
    EXPECT_EQ(resolve_target("/tool", "kestrow"), "/tool");
    EXPECT_EQ(resolve_target("", "kestrow"), "kestrow/");
}

TEST(SecretsTarget, NameIsAfterTheLastSlashOwnerBeforeTheFirst) {
    EXPECT_EQ(target_name("a/b/c"), "c");
    EXPECT_EQ(target_owner("a/b/c"), "a");
    EXPECT_EQ(target_name("kestrow/"), "");
    EXPECT_EQ(target_owner("/tool"), "");
}

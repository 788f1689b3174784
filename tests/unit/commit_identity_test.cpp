// Splitting the author text into the identity of the first commit.
#include "answers/commit_identity.hpp"

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {
void expect_identity(std::string_view author, std::string_view name, std::string_view email) {
    CommitIdentity id = commit_identity(author);
    EXPECT_EQ(id.name, name) << author;
    EXPECT_EQ(id.email, email) << author;
}
}  // namespace

TEST(CommitIdentity, NameAndAddressAreTrimmed) {
    expect_identity("Ada Lovelace <ada@example.com>", "Ada Lovelace", "ada@example.com");
    expect_identity("  Ada \t< ada@example.com >  ", "Ada", "ada@example.com");
}

TEST(CommitIdentity, FirstOpeningAndLastClosingBracketDelimitTheAddress) {
    expect_identity("A <b> <c>", "A", "b> <c");
    expect_identity("A <<x>>", "A", "<x>");
}

TEST(CommitIdentity, BareNameUsesTheFallbackAddress) {
    expect_identity("Ada", "Ada", "tarnwick@users.noreply.github.com");
    expect_identity("Ada <>", "Ada", "tarnwick@users.noreply.github.com");
}

TEST(CommitIdentity, EmptyAuthorCommitsAsTheTool) {
    expect_identity("", "tarnwick", "tarnwick@users.noreply.github.com");
    expect_identity("   ", "tarnwick", "tarnwick@users.noreply.github.com");
    expect_identity("<ada@example.com>", "tarnwick", "ada@example.com");
}

TEST(CommitIdentity, ClosingBeforeOpeningIsAllName) {
    expect_identity(" x> y <z ", "x> y <z", "tarnwick@users.noreply.github.com");
    expect_identity("only <open", "only <open", "tarnwick@users.noreply.github.com");
}

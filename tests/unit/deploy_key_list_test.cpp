// The typed reading of `gh repo deploy-key list --json id,title`: what it accepts, and that
// every fault it reports names the line and column where it was found.
#include "secrets/deploy_key_list.hpp"

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

std::string fault(std::string_view text) {
    auto parsed = parse_deploy_key_list(text);
    EXPECT_FALSE(parsed.ok()) << text;
    return parsed.ok() ? std::string() : parsed.error().description;
}

}  // namespace

TEST(DeployKeyList, ReadsEntriesInOrderWithMembersInAnyOrderAndExtrasSkipped) {
    auto parsed = parse_deploy_key_list(
        R"( [{"id":5,"title":"a"},
             {"title":"b","created_at":"2024-01-01","extra":{"x":[1,{"id":"no"}]},"id":1},
             {"id":9223372036854775807,"read_only":false,"key":"ssh-ed25519 AAAA","title":"c"}] )"
        "\n");
    ASSERT_TRUE(parsed.ok()) << parsed.error().description;
    const auto& keys = parsed.value();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].id, 5);
    EXPECT_EQ(keys[0].title, "a");
    EXPECT_EQ(keys[1].id, 1);
    EXPECT_EQ(keys[1].title, "b");
    EXPECT_EQ(keys[1].key, "");
    EXPECT_EQ(keys[2].id, INT64_MAX);
    EXPECT_EQ(keys[2].title, "c");
    EXPECT_EQ(keys[2].key, "ssh-ed25519 AAAA");
}

// gh would read a negative id as one of its options, and GitHub gives out none below 1.
TEST(DeployKeyList, IdsMustBePositive) {
    struct Case {
        const char* text;
        const char* fault;
    };
    for (const Case& c : {
             Case{R"([{"id":-5,"title":"a"}])",
                  "`id` is not a positive integer at line 1 column 9"},
             Case{R"([{"title":"a","id":0}])",
                  "`id` is not a positive integer at line 1 column 20"},
             Case{R"([{"title":"a","id":-9223372036854775808}])",
                  "`id` is not a positive integer at line 1 column 39"},
             Case{R"([{"id":1,"title":"a","key":7}])",
                  "invalid type: an integer, expected a string for `key` at line 1 column 28"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(fault(c.text), c.fault);
    }
}

TEST(DeployKeyList, EmptyArrayAndBlankOutputAreNoKeys) {
    for (std::string_view text : {"[]", " [ ]\n", "", "\n", " \t\r\n "}) {
        SCOPED_TRACE("[" + std::string(text) + "]");
        auto parsed = parse_deploy_key_list(text);
        ASSERT_TRUE(parsed.ok()) << parsed.error().description;
        EXPECT_TRUE(parsed.value().empty());
    }
}

TEST(DeployKeyList, MissingMembersAreNamedAtTheClosingBrace) {
    EXPECT_EQ(fault(R"([{"id":1}])"), "missing field `title` at line 1 column 9");
    EXPECT_EQ(fault("[\n  {\"title\":\"t\"}\n]"), "missing field `id` at line 2 column 15");
    EXPECT_EQ(fault(R"([{"id":1,"title":"a"},{}])"), "missing field `id` at line 1 column 24");
}

TEST(DeployKeyList, RepeatedMemberIsNamedAtItsKey) {
    EXPECT_EQ(fault(R"([{"id":1,"title":"a","id":2}])"),
              "duplicate field `id` at line 1 column 25");
    EXPECT_EQ(fault("[{\"title\":\"a\",\n\"title\":\"b\",\"id\":1}]"),
              "duplicate field `title` at line 2 column 7");
}

TEST(DeployKeyList, WrongTypesAreRejectedAtTheOffendingValue) {
    EXPECT_EQ(fault(R"([{"id":"1","title":"a"}])"),
              "invalid type: a string, expected a signed 64-bit integer for `id` at line 1 "
              "column 10");
    EXPECT_EQ(fault(R"([{"id":1.5,"title":"a"}])"),
              "invalid type: a floating-point number, expected a signed 64-bit integer for `id` "
              "at line 1 column 10");
    EXPECT_EQ(fault(R"([{"id":1,"title":7}])"),
              "invalid type: an integer, expected a string for `title` at line 1 column 18");
    EXPECT_EQ(fault(R"([{"id":1,"title":null}])"),
              "invalid type: null, expected a string for `title` at line 1 column 21");
    EXPECT_EQ(fault(R"([{"id":[1],"title":"a"}])"),
              "invalid type: an array, expected a signed 64-bit integer for `id` at line 1 "
              "column 8");
    EXPECT_EQ(fault(R"({"id":1,"title":"a"})"),
              "invalid type: an object, expected an array of deploy keys at line 1 column 1");
    EXPECT_EQ(fault(R"([1])"),
              "invalid type: an integer, expected a deploy-key object at line 1 column 2");
    EXPECT_EQ(fault("42"),
              "invalid type: an integer, expected an array of deploy keys at line 1 column 2");
}

TEST(DeployKeyList, IdsOutsideSignedSixtyFourBitsAreRejected) {
    EXPECT_EQ(fault(R"([{"id":9223372036854775808,"title":"a"}])"),
              "`id` is out of range for a signed 64-bit integer at line 1 column 26");
    EXPECT_EQ(fault(R"([{"title":"a","id":-9223372036854775809}])"),
              "`id` is out of range for a signed 64-bit integer at line 1 column 39");
    EXPECT_EQ(fault(R"([{"title":"a","id":123456789012345678901234567890}])"),
              "`id` is out of range for a signed 64-bit integer at line 1 column 49");
}

TEST(DeployKeyList, SyntaxFaultsEndWithTheirPosition) {
    EXPECT_EQ(fault("[]x"),
              "syntax error while parsing value - invalid literal; last read: '[]x'; expected "
              "end of input at line 1 column 3");
    EXPECT_EQ(fault("[] []"),
              "syntax error while parsing value - unexpected '['; expected end of input at line "
              "1 column 4");
    for (std::string_view text : {"[", "[{\"id\":1,", "not json", "[{\"id\":1 \"title\":\"a\"}]",
                                  "gh: no such repository\n"}) {
        SCOPED_TRACE(std::string(text));
        const std::string description = fault(text);
        EXPECT_NE(description.find(" at line "), std::string::npos) << description;
        EXPECT_EQ(description.find("[json.exception"), std::string::npos) << description;
        const auto tail = description.substr(description.rfind(" at line "));
        EXPECT_TRUE(tail.find(" column ") != std::string::npos) << description;
    }
}

TEST(DeployKeyList, NumbersTooLargeForTheLexerStillNamePosition) {
    // Found by fuzzing: the library reports an exponent overflow without a position.
    EXPECT_EQ(fault("949e994"), "number overflow parsing '949e994' at line 1 column 7");
    EXPECT_EQ(fault("[{\"id\":1,\n\"title\":\"a\",\"n\":1e400}]"),
              "number overflow parsing '1e400' at line 2 column 21");
}

// The crate-name rule at its edges and the two derived spellings.
#include "answers/crate_name.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tarnwick;

TEST(CrateName, AcceptsTheEdgesOfTheRule) {
    for (const std::string& name : std::vector<std::string>{"a", "app-", "a_b-c", "a--b", "x123",
                                                            "z__", std::string(64, 'q')}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(validate_crate_name(name).ok());
    }
}

TEST(CrateName, RefusesBreachesWithTheQuotedName) {
    for (const std::string& name :
         std::vector<std::string>{"", "1app", "-app", "_app", "App", "my.app", "my app",
                                  "caf\xC3\xA9", std::string(65, 'q')}) {
        SCOPED_TRACE(name);
        auto status = validate_crate_name(name);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
        EXPECT_EQ(status.error().exit_code(), 3);
    }
    EXPECT_EQ(validate_crate_name("My-App").error().message(),
              "invalid crate name \"My-App\": use lowercase letters, digits, '-' or '_', "
              "starting with a letter");
    EXPECT_EQ(validate_crate_name("").error().message(),
              "invalid crate name \"\": use lowercase letters, digits, '-' or '_', starting with "
              "a letter");
    // Non-ASCII stays as typed inside the quotes; quotes and line feeds are escaped.
    EXPECT_EQ(validate_crate_name("caf\xC3\xA9").error().message(),
              "invalid crate name \"caf\xC3\xA9\": use lowercase letters, digits, '-' or '_', "
              "starting with a letter");
    EXPECT_EQ(validate_crate_name("a\"b\n").error().message(),
              "invalid crate name \"a\\\"b\\n\": use lowercase letters, digits, '-' or '_', "
              "starting with a letter");
}

TEST(CrateName, SnakeSpellingOnlyReplacesHyphens) {
    EXPECT_EQ(snake_name("my-cli_tool"), "my_cli_tool");
    EXPECT_EQ(snake_name("a-b-c"), "a_b_c");
    EXPECT_EQ(snake_name("a--b_"), "a__b_");
}

TEST(CrateName, PascalSpellingDropsEmptyPiecesAndKeepsDigits) {
    EXPECT_EQ(pascal_name("my-cli_tool"), "MyCliTool");
    EXPECT_EQ(pascal_name("a--b"), "AB");
    EXPECT_EQ(pascal_name("my-2nd-tool"), "My2ndTool");
    EXPECT_EQ(pascal_name("tool-"), "Tool");
    EXPECT_EQ(pascal_name("a_b-c"), "ABC");
    EXPECT_EQ(pascal_name("x123"), "X123");
}

TEST(CrateName, RefusesWhatRustOrCargoRefuseOnTheSnakeForm) {
    struct Case {
        const char* name;
        const char* reason;
    };
    for (const Case& c : std::vector<Case>{
             {"fn", "it is a Rust keyword"},
             {"self", "it is a Rust keyword"},
             {"super", "it is a Rust keyword"},
             {"crate", "it is a Rust keyword"},
             {"async", "it is a Rust keyword"},
             {"await", "it is a Rust keyword"},
             {"dyn", "it is a Rust keyword"},
             {"type", "it is a Rust keyword"},
             {"gen", "it is a Rust keyword"},
             {"try", "it is a Rust keyword"},
             {"abstract", "it is a Rust keyword"},
             {"yield", "it is a Rust keyword"},
             {"match", "it is a Rust keyword"},
             {"std", "it is the name of a built-in Rust crate"},
             {"core", "it is the name of a built-in Rust crate"},
             {"alloc", "it is the name of a built-in Rust crate"},
             {"test", "it is the name of a built-in Rust crate"},
             {"proc_macro", "it is the name of a built-in Rust crate"},
             {"proc-macro", "as proc_macro, it is the name of a built-in Rust crate"},
             {"build", "cargo reserves it for a build directory"},
             {"deps", "cargo reserves it for a build directory"},
             {"examples", "cargo reserves it for a build directory"},
             {"incremental", "cargo reserves it for a build directory"},
             {"serde", "the generated crate depends on a crate of that name"},
             {"serde-json", "as serde_json, the generated crate depends on a crate of that name"},
             {"serde_json", "the generated crate depends on a crate of that name"},
             {"clap", "the generated crate depends on a crate of that name"},
             {"clap-complete",
              "as clap_complete, the generated crate depends on a crate of that name"},
             {"thiserror", "the generated crate depends on a crate of that name"},
             {"jsonschema", "the generated crate depends on a crate of that name"},
         }) {
        SCOPED_TRACE(c.name);
        auto status = validate_crate_name(c.name);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
        EXPECT_EQ(status.error().message(),
                  std::string("invalid crate name \"") + c.name + "\": " + c.reason);
    }
}

TEST(CrateName, AcceptsNamesThatOnlyContainReservedWords) {
    for (const char* name : {"fnord", "my-test", "std-ext", "test-", "tests", "selfie", "types",
                             "proc-macros", "core2", "build-tool", "a--b", "tool-", "my_fn",
                             "gen-ai", "self_", "serde-x", "clapper", "clap_"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(validate_crate_name(name).ok());
    }
}

// Where the project is also a Python package, its name must end with a letter or digit.
TEST(CrateName, PythonNamesEndWithALetterOrDigit) {
    for (const char* name : {"a", "tool", "x9", "a-b", "a__b"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(validate_python_name(name).ok());
    }
    for (const char* name : {"tool-", "tool_", "a--"}) {
        SCOPED_TRACE(name);
        auto status = validate_python_name(name);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().kind(), ErrorKind::Usage);
        EXPECT_EQ(status.error().message(),
                  std::string("invalid crate name \"") + name +
                      "\": a PyPI package name must end with a letter or digit (or pass "
                      "--no-pypi)");
    }
}

// The command line: records from good lines, and the usage reports for bad ones.
#include <gtest/gtest.h>

#include <vector>

#include "cli/command_line.hpp"

using namespace tarnwick;

namespace {
Result<Cli, ParseFailure> parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tarnwick");
    return parse_command_line(static_cast<int>(args.size()), args.data());
}

std::string failure(std::vector<const char*> args) {
    auto r = parse(std::move(args));
    EXPECT_FALSE(r.ok());
    if (r.ok()) return {};
    EXPECT_EQ(r.error().kind, ParseFailureKind::Error);
    return r.error().text;
}
}  // namespace

TEST(Parse, NoArgumentsAndOutputAloneHaveNoCommand) {
    auto none = parse({});
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->command.has_value());
    auto output = parse({"--output", "text"});
    ASSERT_TRUE(output.ok());
    EXPECT_EQ(output->output, OutputMode::Text);
    EXPECT_FALSE(output->command.has_value());
}

TEST(Parse, NewDefaults) {
    auto r = parse({"new", "demo"});
    ASSERT_TRUE(r.ok());
    const auto& n = std::get<New>(*r->command);
    EXPECT_EQ(n.name, "demo");
    EXPECT_EQ(n.owner, "kestrow");
    EXPECT_EQ(n.into, ".");
    EXPECT_FALSE(n.description || n.author || n.no_git || n.github || n.no_pypi);
    EXPECT_EQ(r->output, OutputMode::Auto);
}

TEST(Parse, NewWithEverything) {
    auto r = parse({"new", "--description", "", "x", "--owner=o", "--author", "A <a@b>", "--into",
                    "/tmp/p", "--no-git", "--no-pypi", "-ojson"});
    ASSERT_TRUE(r.ok());
    const auto& n = std::get<New>(*r->command);
    EXPECT_EQ(n.name, "x");
    EXPECT_EQ(*n.description, "");
    EXPECT_EQ(n.owner, "o");
    EXPECT_EQ(*n.author, "A <a@b>");
    EXPECT_EQ(n.into, "/tmp/p");
    EXPECT_TRUE(n.no_git && n.no_pypi && !n.github);
    EXPECT_EQ(r->output, OutputMode::Json);
}

TEST(Parse, OutputBeforeAndAfterTheSubcommandGiveTheSameRecords) {
    auto before = parse({"-o", "json", "check", "demo"});
    auto after = parse({"check", "demo", "--output", "json"});
    ASSERT_TRUE(before.ok() && after.ok());
    EXPECT_EQ(before->output, OutputMode::Json);
    EXPECT_EQ(after->output, OutputMode::Json);
    EXPECT_EQ(std::get<Check>(*before->command).name, std::get<Check>(*after->command).name);
    EXPECT_EQ(std::get<Check>(*after->command).into, ".");
}

TEST(Parse, DoubleDashEndsOptions) {
    auto r = parse({"check", "--", "-x"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(std::get<Check>(*r->command).name, "-x");
}

TEST(Parse, SecretsFlagsAndConflicts) {
    auto r = parse({"secrets", "acme/tool", "--dry-run", "--pypi-token-stdin", "--tap", "t"});
    ASSERT_TRUE(r.ok());
    const auto& s = std::get<Secrets>(*r->command);
    EXPECT_TRUE(s.dry_run && s.pypi_token_stdin && !s.verify);
    EXPECT_EQ(*s.tap, "t");
    EXPECT_EQ(s.owner, "kestrow");
    EXPECT_EQ(failure({"secrets", "acme/tool", "--verify", "--dry-run"}),
              "error: the argument '--verify' cannot be used with '--dry-run'\n\n"
              "Usage: tarnwick secrets [OPTIONS] <REPO>\n\n"
              "For more information, try '--help'.");
    EXPECT_NE(failure({"secrets", "a", "--pypi-token-stdin", "--verify"}).find("'--verify'"),
              std::string::npos);
}

TEST(Parse, UnknownWordsGetSuggestions) {
    EXPECT_EQ(failure({"chek", "demo"}),
              "error: unrecognized subcommand 'chek'\n\n"
              "  tip: a similar subcommand exists: 'check'\n\n"
              "Usage: tarnwick [OPTIONS] [COMMAND]\n\n"
              "For more information, try '--help'.");
    EXPECT_NE(failure({"secrets", "x", "--dry-rn"}).find("a similar argument exists: '--dry-run'"),
              std::string::npos);
    EXPECT_EQ(failure({"frobnicate"}).find("tip"), std::string::npos);
}

TEST(Parse, VersionExistsOnTheRootOnly) {
    auto root = parse({"-V"});
    ASSERT_FALSE(root.ok());
    EXPECT_EQ(root.error().kind, ParseFailureKind::DisplayVersion);
    EXPECT_EQ(root.error().text, "tarnwick 0.1.6\n");
    EXPECT_NE(failure({"new", "--version"}).find("unexpected argument '--version'"),
              std::string::npos);
}

TEST(Parse, HelpEverywhere) {
    for (auto args : std::vector<std::vector<const char*>>{
             {"--help"}, {"-h"}, {"help"}, {"new", "--help"}, {"help", "secrets"}}) {
        auto r = parse(args);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, ParseFailureKind::DisplayHelp);
    }
    auto sub = parse({"help", "new"});
    EXPECT_NE(sub.error().text.find("Usage: tarnwick new [OPTIONS] <NAME>"), std::string::npos);
    EXPECT_NE(sub.error().text.find("--no-pypi"), std::string::npos);
}

TEST(Parse, RepeatsMissingValuesAndPossibleValues) {
    EXPECT_NE(failure({"new", "a", "--owner", "x", "--owner", "y"})
                  .find("the argument '--owner <OWNER>' cannot be used multiple times"),
              std::string::npos);
    EXPECT_NE(failure({"new", "a", "--no-git", "--no-git"}).find("'--no-git' cannot be used"),
              std::string::npos);
    EXPECT_NE(failure({"new", "a", "--owner"}).find("a value is required for '--owner <OWNER>'"),
              std::string::npos);
    EXPECT_NE(failure({"new"}).find("required arguments were not provided:\n  <NAME>"),
              std::string::npos);
    std::string yaml = failure({"schema", "-o", "yaml"});
    EXPECT_NE(yaml.find("[possible values: auto, json, text]"), std::string::npos);
    EXPECT_NE(failure({"completions", "Bash"}).find("invalid value 'Bash'"), std::string::npos);
    auto shell = parse({"completions", "powershell"});
    ASSERT_TRUE(shell.ok());
    EXPECT_EQ(std::get<Completions>(*shell->command).shell, Shell::Powershell);
}

TEST(Parse, TextValuesMustBeUtf8ButPathsNeedNot) {
    EXPECT_NE(failure({"new", "a\xFF"}).find("invalid UTF-8"), std::string::npos);
    EXPECT_NE(failure({"new", "a", "--description", "\xC3"}).find("invalid UTF-8"),
              std::string::npos);
    auto r = parse({"check", "demo", "--into", "/tmp/\xFF"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(std::get<Check>(*r->command).into, "/tmp/\xFF");
}

TEST(Parse, ReportsHaveNoSurroundingWhiteSpace) {
    std::string text = failure({"frobnicate"});
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.front(), '\n');
    EXPECT_NE(text.back(), '\n');
}

TEST(Parse, ASecondCommandWordIsAnUnexpectedArgument) {
    // Found by fuzzing: a later subcommand name once started a second command and the extra
    // word was silently dropped (`new a check` scaffolded "a").
    EXPECT_NE(failure({"new", "a", "check"}).find("unexpected argument 'check' found"),
              std::string::npos);
    EXPECT_NE(failure({"check", "x", "help"}).find("unexpected argument 'help' found"),
              std::string::npos);
    EXPECT_NE(failure({"secrets", "a", "new", "b"}).find("Usage: tarnwick secrets"),
              std::string::npos);
}

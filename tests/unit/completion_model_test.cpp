// The completion model walked from the command tree: what each command offers and how each
// value completes, which every shell's script is generated from.
#include "completions/completion_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/command_table.hpp"

using namespace tarnwick;

namespace {

const CompletionArg* find_option(const CompletionCommand& cmd, const std::string& spelling) {
    for (const CompletionArg& opt : cmd.options) {
        if (std::find(opt.spellings.begin(), opt.spellings.end(), spelling) !=
            opt.spellings.end()) {
            return &opt;
        }
    }
    return nullptr;
}

const CompletionCommand& sub(const CompletionCommand& root, const std::string& name) {
    for (const CompletionCommand& s : root.subcommands) {
        if (s.name == name) return s;
    }
    throw std::runtime_error("no subcommand " + name);
}

TEST(CompletionModel, RootListsTheSubcommandsInOrderWithTheirHelp) {
    auto model = completion_model();
    EXPECT_EQ(model.name, "tarnwick");
    std::vector<std::string> names;
    for (const auto& s : model.subcommands) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"new", "check", "secrets", "schema", "completions",
                                               "update", "doctor", "help"}));
    EXPECT_EQ(sub(model, "secrets").description,
              "Bootstrap a repo's release secrets (Homebrew deploy key, cargo + PyPI tokens)");
    EXPECT_EQ(sub(model, "secrets").key, "tarnwick secrets");
    EXPECT_EQ(all_commands(model).size(), 9u);
}

TEST(CompletionModel, OptionsAppearOnlyWhereTheyAreValid) {
    auto model = completion_model();
    ASSERT_NE(find_option(model, "-V"), nullptr);
    EXPECT_EQ(find_option(model, "--version")->value, ValueKind::None);
    EXPECT_EQ(find_option(sub(model, "new"), "--version"), nullptr);
    EXPECT_NE(find_option(sub(model, "secrets"), "--verify"), nullptr);
    EXPECT_EQ(find_option(sub(model, "new"), "--verify"), nullptr);
    EXPECT_EQ(find_option(sub(model, "secrets"), "--no-git"), nullptr);
    for (const auto& s : model.subcommands) {
        if (s.name == "help") continue;
        const CompletionArg* output = find_option(s, "--output");
        ASSERT_NE(output, nullptr) << s.name;
        EXPECT_EQ(output->spellings, (std::vector<std::string>{"-o", "--output"}));
    }
}

TEST(CompletionModel, ValuesCompleteByKind) {
    auto model = completion_model();
    const CompletionArg* output = find_option(model, "--output");
    EXPECT_EQ(output->value, ValueKind::Choices);
    EXPECT_EQ(output->value_name, "OUTPUT");
    EXPECT_EQ(output->choices, (std::vector<std::string>{"auto", "json", "text"}));
    EXPECT_EQ(find_option(sub(model, "new"), "--into")->value, ValueKind::Directory);
    EXPECT_EQ(find_option(sub(model, "check"), "--into")->value, ValueKind::Directory);
    EXPECT_EQ(find_option(sub(model, "new"), "--description")->value, ValueKind::Text);
    EXPECT_EQ(find_option(sub(model, "new"), "--no-pypi")->value, ValueKind::None);
    ASSERT_EQ(sub(model, "new").positionals.size(), 1u);
    EXPECT_EQ(sub(model, "new").positionals[0].value, ValueKind::Text);
    ASSERT_EQ(sub(model, "completions").positionals.size(), 1u);
    EXPECT_EQ(sub(model, "completions").positionals[0].choices,
              (std::vector<std::string>{"bash", "elvish", "fish", "powershell", "zsh"}));
    // help names a sibling command.
    EXPECT_EQ(sub(model, "help").positionals[0].choices,
              (std::vector<std::string>{"new", "check", "secrets", "schema", "completions",
                                        "update", "doctor"}));
    ASSERT_EQ(sub(model, "update").positionals.size(), 1u);
    EXPECT_EQ(sub(model, "update").positionals[0].value, ValueKind::Directory);
}

}  // namespace

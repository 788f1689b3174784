// The declarations are the only place a command's surface is written: an argument or a command
// added to a copy of the tree is parsed, defaulted, in the help, in the completions and in
// the contract, and every declared argument of the program lands in its command's record.
#include "cli/declaration.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cli/binding.hpp"
#include "cli/command_line.hpp"
#include "cli/command_table.hpp"
#include "completions/completion_model.hpp"
#include "schema/contract.hpp"

using namespace tarnwick;

namespace {

Result<Cli, ParseFailure> parse(const CommandTree& tree, std::vector<const char*> args) {
    args.insert(args.begin(), "tarnwick");
    return parse_command_line(tree, static_cast<int>(args.size()), args.data());
}

// The first line of a failure, or "ok".
std::string first_line(const Result<Cli, ParseFailure>& r) {
    if (r.ok()) return "ok";
    return r.error().text.substr(0, r.error().text.find('\n'));
}

// The line of text that contains needle, or "".
std::string line_with(const std::string& text, const std::string& needle) {
    const auto at = text.find(needle);
    if (at == std::string::npos) return "";
    const auto begin = text.rfind('\n', at) + 1;
    return text.substr(begin, text.find('\n', at) - begin);
}

// A copy of the program's tree whose declarations a test may change.
struct TreeCopy {
    std::vector<CommandSpec> commands;
    std::vector<std::vector<ArgSpec>> arg_lists;  // storage for changed argument lists

    TreeCopy() : commands(command_tree().commands.begin(), command_tree().commands.end()) {
        arg_lists.reserve(8);
    }
    CommandSpec& command(std::string_view name) {
        return *std::find_if(commands.begin(), commands.end(),
                             [&](const CommandSpec& c) { return c.name == name; });
    }
    std::vector<ArgSpec>& args_of(std::string_view name) {
        CommandSpec& spec = command(name);
        arg_lists.emplace_back(spec.args.begin(), spec.args.end());
        return arg_lists.back();
    }
    CommandTree tree() const { return {command_tree().root, commands}; }
};

const Json& contract_command(const Json& contract, const std::string& name) {
    for (const Json& command : contract["commands"]) {
        if (command["name"] == name) return command;
    }
    throw std::runtime_error("no command " + name + " in the contract");
}

TEST(Declaration, AnOptionAddedToACopyIsParsedDefaultedHelpedCompletedAndInTheContract) {
    TreeCopy copy;
    std::vector<ArgSpec>& args = copy.args_of("new");
    args.push_back(option<&New::description, New>("tagline", "TAGLINE", "One-line pitch",
                                                  "One-line pitch for the README.")
                       .by_default("Fast and small"));
    copy.command("new").args = args;
    const CommandTree tree = copy.tree();

    auto defaulted = parse(tree, {"new", "demo"});
    ASSERT_TRUE(defaulted.ok()) << first_line(defaulted);
    EXPECT_EQ(std::get<New>(*defaulted->command).description, "Fast and small");
    auto given = parse(tree, {"new", "demo", "--tagline=quick", "--no-git"});
    ASSERT_TRUE(given.ok()) << first_line(given);
    EXPECT_EQ(std::get<New>(*given->command).description, "quick");
    EXPECT_TRUE(std::get<New>(*given->command).no_git);
    EXPECT_EQ(first_line(parse(tree, {"new", "demo", "--tagline"})),
              "error: a value is required for '--tagline <TAGLINE>' but none was supplied");

    const std::string help = render_help(tree, copy.command("new"));
    EXPECT_EQ(line_with(help, "--tagline"),
              "      --tagline <TAGLINE>          One-line pitch [default: Fast and small]");
    // Options keep their declared order, the global ones after them and help last.
    EXPECT_LT(help.find("--no-pypi"), help.find("--tagline"));
    EXPECT_LT(help.find("--tagline"), help.find("--output"));

    const CompletionCommand model = completion_model(tree);
    const auto& new_options = model.subcommands[0].options;
    EXPECT_TRUE(std::any_of(new_options.begin(), new_options.end(), [](const CompletionArg& a) {
        return a.spellings == std::vector<std::string>{"--tagline"} && a.value_name == "TAGLINE";
    }));

    EXPECT_EQ(contract_command(contract(tree), "new")["args"].back(),
              Json({{"default", "Fast and small"},
                    {"description", "One-line pitch for the README."},
                    {"name", "--tagline"},
                    {"required", false},
                    {"type", "string"}}));

    // The program's own tree is untouched.
    EXPECT_EQ(first_line(parse(command_tree(), {"new", "demo", "--tagline", "x"})),
              "error: unexpected argument '--tagline' found");
    EXPECT_EQ(contract_command(contract(), "new")["args"].size(), 9u);
}

TEST(Declaration, AChangedDefaultReachesTheRecordTheHelpAndTheContract) {
    TreeCopy copy;
    std::vector<ArgSpec>& args = copy.args_of("check");
    for (ArgSpec& arg : args) {
        if (arg.id == "into") arg = arg.by_default("/srv");
    }
    copy.command("check").args = args;
    const CommandTree tree = copy.tree();

    auto r = parse(tree, {"check", "demo"});
    ASSERT_TRUE(r.ok()) << first_line(r);
    EXPECT_EQ(std::get<Check>(*r->command).into, "/srv");
    EXPECT_NE(render_help(tree, copy.command("check")).find("[default: /srv]"), std::string::npos);
    EXPECT_EQ(contract_command(contract(tree), "check")["args"][1]["default"], "/srv");
}

TEST(Declaration, APositionalWithADefaultMayBeLeftOut) {
    TreeCopy copy;
    std::vector<ArgSpec>& args = copy.args_of("check");
    for (ArgSpec& arg : args) {
        if (arg.id == "name") arg = arg.by_default("demo");
    }
    copy.command("check").args = args;
    const CommandTree tree = copy.tree();

    auto left_out = parse(tree, {"check", "--into", "/srv"});
    ASSERT_TRUE(left_out.ok()) << first_line(left_out);
    EXPECT_EQ(std::get<Check>(*left_out->command).name, "demo");
    auto given = parse(tree, {"check", "other"});
    ASSERT_TRUE(given.ok()) << first_line(given);
    EXPECT_EQ(std::get<Check>(*given->command).name, "other");
    EXPECT_EQ(first_line(parse(command_tree(), {"check"})),
              "error: the following required arguments were not provided:");

    const std::string help = render_help(tree, copy.command("check"));
    EXPECT_NE(help.find("Usage: tarnwick check [OPTIONS] [NAME]\n"), std::string::npos) << help;
    EXPECT_EQ(line_with(help, "[NAME]  "),
              "  [NAME]  Crate/binary name to validate [default: demo]");
    const Json name = contract_command(contract(tree), "check")["args"][0];
    EXPECT_EQ(name["required"], false);
    EXPECT_EQ(name["default"], "demo");
}

TEST(Declaration, ACommandDeclaredInACopyIsParsedListedCompletedAndInTheContract) {
    constexpr static std::array kProbeArgs{
        positional<&Check::name>("name", "NAME", "Name to probe", "Name to probe."),
        option<&Check::into>("under", "DIR", "Where to look", "Where to look.")
            .directory()
            .by_default("/var"),
    };
    TreeCopy copy;
    const CommandSpec probe{
        .name = "probe",
        .help = "Probe a name",
        .args = kProbeArgs,
        .make = make_record<Check>,
        .contract = {.description = "Probe a name.", .effects = "read_only", .mutating = false},
    };
    copy.commands.insert(copy.commands.end() - 1, probe);  // help stays last
    const CommandTree tree = copy.tree();

    auto r = parse(tree, {"probe", "x", "-o", "json"});
    ASSERT_TRUE(r.ok()) << first_line(r);
    EXPECT_EQ(std::get<Check>(*r->command).name, "x");
    EXPECT_EQ(std::get<Check>(*r->command).into, "/var");
    EXPECT_EQ(r->output, OutputMode::Json);
    EXPECT_EQ(line_with(render_help(tree, *tree.root), "probe"), "  probe        Probe a name");
    auto help = parse(tree, {"help", "probe"});
    ASSERT_FALSE(help.ok());
    EXPECT_EQ(help.error().kind, ParseFailureKind::DisplayHelp);
    EXPECT_NE(help.error().text.find("Usage: tarnwick probe [OPTIONS] <NAME>"), std::string::npos);

    const CompletionCommand model = completion_model(tree);
    EXPECT_EQ(model.subcommands[model.subcommands.size() - 2].key,
              "tarnwick probe");                                                 // before help
    EXPECT_EQ(model.subcommands.back().positionals[0].choices.back(), "probe");  // help probe

    EXPECT_EQ(contract_command(contract(tree), "probe"), Json({{"args",
                                                                {{{"description", "Name to probe."},
                                                                  {"name", "name"},
                                                                  {"required", true},
                                                                  {"type", "string"}},
                                                                 {{"default", "/var"},
                                                                  {"description", "Where to look."},
                                                                  {"name", "--under"},
                                                                  {"required", false},
                                                                  {"type", "path"}}}},
                                                               {"description", "Probe a name."},
                                                               {"effects", "read_only"},
                                                               {"mutating", false},
                                                               {"name", "probe"}}));
}

TEST(Declaration, ConflictsAreReadFromTheDeclaration) {
    TreeCopy copy;
    constexpr static std::array kConflicts{Conflict{"no-pypi", "github"}};
    copy.command("new").conflicts = kConflicts;
    const CommandTree tree = copy.tree();
    EXPECT_EQ(first_line(parse(tree, {"new", "a", "--github", "--no-pypi"})),
              "error: the argument '--no-pypi' cannot be used with '--github'");
    // The copy dropped the program's own conflict of --github and --no-git.
    EXPECT_EQ(first_line(parse(tree, {"new", "a", "--github", "--no-git"})), "ok");
    // A conflict with a message of its own reports just that message.
    auto refused = parse(command_tree(), {"new", "a", "--no-git", "--github"});
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ParseFailureKind::Error);
    EXPECT_EQ(refused.error().text, "--github needs the initial commit; remove --no-git");
}

// Every argument the program declares, given alone after the command's positionals, parses into
// that command's record; a binding to another command's record would throw here.
TEST(Declaration, EveryDeclaredArgumentParsesIntoItsCommandsRecord) {
    const CommandTree& tree = command_tree();
    // An enum field takes the position of its value among the choices.
    auto expect_default_among_choices = [](const ArgSpec& arg) {
        if (arg.choices.empty() || arg.default_value.empty()) return;
        EXPECT_NE(std::find(arg.choices.begin(), arg.choices.end(), arg.default_value),
                  arg.choices.end())
            << arg.id;
    };
    for (const ArgSpec& arg : tree.root->args) expect_default_among_choices(arg);
    auto value_for = [](const ArgSpec& arg) -> const char* {
        return arg.choices.empty() ? "x" : arg.choices.front().data();
    };
    for (const CommandSpec& command : tree.commands) {
        if (command.kind != CommandKind::Command) continue;
        SCOPED_TRACE(std::string(command.name));
        EXPECT_NE(command.make.fill, nullptr);
        EXPECT_FALSE(command.contract.description.empty());
        EXPECT_FALSE(command.contract.effects.empty());
        std::vector<const char*> line = {command.name.data()};
        for (const ArgSpec& arg : command.args) {
            if (arg.positional()) line.push_back(value_for(arg));
        }
        for (const ArgSpec& arg : command.args) {
            SCOPED_TRACE(std::string(arg.id));
            EXPECT_NE(arg.assign, nullptr);
            EXPECT_GT(arg.contract_text().size(), 1u);
            EXPECT_TRUE(arg.contract_text().ends_with('.'));
            expect_default_among_choices(arg);
            if (arg.positional()) continue;
            const std::string word = "--" + std::string(arg.id);
            std::vector<const char*> with = line;
            with.push_back(word.c_str());
            if (arg.takes_value()) with.push_back(value_for(arg));
            auto r = parse(tree, with);
            ASSERT_TRUE(r.ok()) << first_line(r);
            Cli made;
            command.make(made);
            EXPECT_EQ(r->command->index(), made.command->index());
        }
        for (const Conflict& c : command.conflicts) {
            for (std::string_view id : {c.arg, c.other}) {
                EXPECT_TRUE(std::any_of(command.args.begin(), command.args.end(),
                                        [&](const ArgSpec& a) { return a.id == id; }))
                    << "conflict names an undeclared argument: " << id;
            }
        }
    }
}

}  // namespace

namespace {

// An enum argument is declared without its choices: they come from the enum's type, and every
// name lands on its own enumerator.
TEST(Declaration, AnEnumArgumentTakesItsNamesFromItsType) {
    constexpr ArgSpec shell = positional<&Completions::shell>("shell", "SHELL", "Target shell");
    EXPECT_EQ(shell.value, ValueKind::Choices);
    ASSERT_EQ(shell.choices.size(), kShellNames.size());
    for (std::size_t i = 0; i < kShellNames.size(); ++i) {
        SCOPED_TRACE(std::string(kShellNames[i]));
        Cli cli;
        make_record<Completions>(cli);
        shell.assign(cli, shell, std::string(kShellNames[i]));
        EXPECT_EQ(std::get<Completions>(*cli.command).shell, static_cast<Shell>(i));
    }
    constexpr ArgSpec output = option<&Cli::output>("output", "OUTPUT", "Output format");
    Cli cli;
    output.assign(cli, output, "text");
    EXPECT_EQ(cli.output, OutputMode::Text);
}

TEST(Declaration, TheContractTextIsTheHelpAsASentenceUnlessWrittenOut) {
    const struct {
        ArgSpec arg;
        std::string contract;
    } cases[] = {
        {option<&New::owner, New>("owner", "OWNER", "GitHub owner"), "GitHub owner."},
        {option<&New::owner, New>("owner", "OWNER", "GitHub owner", "The owner, at length."),
         "The owner, at length."},
        {flag<&New::no_git>("no-git", "Skip git"), "Skip git."},
        {positional<&New::name>("name", "NAME", "", "Crate name."), "Crate name."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arg.help));
        EXPECT_EQ(c.arg.contract_text(), c.contract);
    }
}

// The contract's error list is the kind table: every error the program can raise is listed
// with the exit code its envelope carries.
TEST(Declaration, TheContractListsEveryErrorKindWithTheEnvelopesExitCode) {
    const Json errors = contract()["errors"];
    const CliError raised[] = {CliError::usage("u"),        CliError::exists("e"),
                               CliError::io("i"),           CliError::git("g"),
                               CliError::backend("gh", ""), CliError::conflict("c")};
    ASSERT_EQ(errors.size(), std::size(raised));
    ASSERT_EQ(error_kinds().size(), std::size(raised));
    for (const CliError& error : raised) {
        SCOPED_TRACE(std::string(error.kind_name()));
        const Json envelope = Json::parse(envelope_line(error))["error"];
        const auto listed = std::find_if(errors.begin(), errors.end(), [&](const Json& kind) {
            return kind["kind"] == envelope["kind"];
        });
        ASSERT_NE(listed, errors.end());
        EXPECT_EQ((*listed)["exit_code"], envelope["exit_code"]);
        const std::string description = (*listed)["description"];
        EXPECT_TRUE(description.ends_with('.')) << description;
    }
}

}  // namespace

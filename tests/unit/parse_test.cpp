// The command line: records from good lines, the usage reports for bad ones, and the
// tokenizer rules as tables of argv and outcome.
#include <gtest/gtest.h>

#include <vector>

#include "cli/command_line.hpp"

using namespace tarnwick;

namespace {
Result<Cli, ParseFailure> parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tarnwick");
    return parse_command_line(static_cast<int>(args.size()), args.data());
}

std::string parse_failure(std::vector<const char*> args) {
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
    EXPECT_EQ(parse_failure({"secrets", "acme/tool", "--verify", "--dry-run"}),
              "error: the argument '--verify' cannot be used with '--dry-run'\n\n"
              "Usage: tarnwick secrets [OPTIONS] <REPO>\n\n"
              "For more information, try '--help'.");
    EXPECT_NE(parse_failure({"secrets", "a", "--pypi-token-stdin", "--verify"}).find("'--verify'"),
              std::string::npos);
}

TEST(Parse, UnknownWordsGetSuggestions) {
    EXPECT_EQ(parse_failure({"chek", "demo"}),
              "error: unrecognized subcommand 'chek'\n\n"
              "  tip: a similar subcommand exists: 'check'\n\n"
              "Usage: tarnwick [OPTIONS] [COMMAND]\n\n"
              "For more information, try '--help'.");
    EXPECT_NE(
        parse_failure({"secrets", "x", "--dry-rn"}).find("a similar argument exists: '--dry-run'"),
        std::string::npos);
    EXPECT_EQ(parse_failure({"frobnicate"}).find("tip"), std::string::npos);
}

TEST(Parse, VersionExistsOnTheRootOnly) {
    auto root = parse({"-V"});
    ASSERT_FALSE(root.ok());
    EXPECT_EQ(root.error().kind, ParseFailureKind::DisplayVersion);
    EXPECT_EQ(root.error().text, "tarnwick 0.2.0\n");
    EXPECT_NE(parse_failure({"new", "--version"}).find("unexpected argument '--version'"),
              std::string::npos);
}

TEST(Parse, HelpEverywhere) {
    for (auto args : std::vector<std::vector<const char*>>{
             {"--help"}, {"-h"}, {"help"}, {"new", "--help"}, {"help", "secrets"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        auto r = parse(args);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, ParseFailureKind::DisplayHelp);
    }
    auto sub = parse({"help", "new"});
    EXPECT_NE(sub.error().text.find("Usage: tarnwick new [OPTIONS] <NAME>"), std::string::npos);
    EXPECT_NE(sub.error().text.find("--no-pypi"), std::string::npos);
}

TEST(Parse, RepeatsMissingValuesAndPossibleValues) {
    EXPECT_NE(parse_failure({"new", "a", "--owner", "x", "--owner", "y"})
                  .find("the argument '--owner <OWNER>' cannot be used multiple times"),
              std::string::npos);
    EXPECT_NE(parse_failure({"new", "a", "--no-git", "--no-git"}).find("'--no-git' cannot be used"),
              std::string::npos);
    EXPECT_NE(
        parse_failure({"new", "a", "--owner"}).find("a value is required for '--owner <OWNER>'"),
        std::string::npos);
    EXPECT_NE(parse_failure({"new"}).find("required arguments were not provided:\n  <NAME>"),
              std::string::npos);
    std::string yaml = parse_failure({"schema", "-o", "yaml"});
    EXPECT_NE(yaml.find("[possible values: auto, json, text]"), std::string::npos);
    EXPECT_NE(parse_failure({"completions", "Bash"}).find("invalid value 'Bash'"),
              std::string::npos);
    auto shell = parse({"completions", "powershell"});
    ASSERT_TRUE(shell.ok());
    EXPECT_EQ(std::get<Completions>(*shell->command).shell, Shell::Powershell);
}

TEST(Parse, TextValuesMustBeUtf8ButPathsNeedNot) {
    EXPECT_NE(parse_failure({"new", "a\xFF"}).find("invalid UTF-8"), std::string::npos);
    EXPECT_NE(parse_failure({"new", "a", "--description", "\xC3"}).find("invalid UTF-8"),
              std::string::npos);
    auto r = parse({"check", "demo", "--into", "/tmp/\xFF"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(std::get<Check>(*r->command).into, "/tmp/\xFF");
}

TEST(Parse, ReportsHaveNoSurroundingWhiteSpace) {
    std::string text = parse_failure({"frobnicate"});
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.front(), '\n');
    EXPECT_NE(text.back(), '\n');
}

TEST(Parse, ASecondCommandWordIsAnUnexpectedArgument) {
    // Found by fuzzing: a later subcommand name once started a second command and the extra
    // word was silently dropped (`new a check` scaffolded "a").
    EXPECT_NE(parse_failure({"new", "a", "check"}).find("unexpected argument 'check' found"),
              std::string::npos);
    EXPECT_NE(parse_failure({"check", "x", "help"}).find("unexpected argument 'help' found"),
              std::string::npos);
    EXPECT_NE(parse_failure({"secrets", "a", "new", "b"}).find("Usage: tarnwick secrets"),
              std::string::npos);
}

namespace {

// A parse result in one line: the records with every field, or the first line of the
// failure with its kind. Values are bracketed so that an empty one shows.
std::string outcome(std::vector<const char*> args) {
    auto r = parse(std::move(args));
    if (!r.ok()) {
        const std::string& text = r.error().text;
        std::string first = text.substr(0, text.find('\n'));
        switch (r.error().kind) {
            case ParseFailureKind::DisplayHelp:
                return "help: " + first;
            case ParseFailureKind::DisplayVersion:
                return "version: " + first;
            case ParseFailureKind::Error:
                break;
        }
        return first;
    }
    const char* modes[] = {"auto", "json", "text"};
    std::string out = std::string("output=") + modes[static_cast<int>(r->output)];
    if (!r->command) return out;
    auto opt = [](const std::optional<std::string>& v) { return v ? "[" + *v + "]" : "-"; };
    if (const auto* n = std::get_if<New>(&*r->command)) {
        out += " new [" + n->name + "] description=" + opt(n->description) +
               " owner=" + opt(n->owner) + " author=" + opt(n->author) + " into=[" + n->into + "]";
        if (n->no_git) out += " no-git";
        if (n->github) out += " github";
        if (n->no_pypi) out += " no-pypi";
        const std::string license =
            n->license ? std::string(kLicenseNames[static_cast<std::size_t>(*n->license)]) : "-";
        if (license != "MIT") out += " license=[" + license + "]";
    } else if (const auto* c = std::get_if<Check>(&*r->command)) {
        out += " check [" + c->name + "] into=[" + c->into + "]";
    } else if (const auto* s = std::get_if<Secrets>(&*r->command)) {
        out += " secrets [" + s->repo + "] owner=[" + s->owner + "] tap=" + opt(s->tap);
        if (s->pypi_token_stdin) out += " pypi-token-stdin";
        if (s->dry_run) out += " dry-run";
        if (s->verify) out += " verify";
    } else {
        out += " other";
    }
    return out;
}

struct LineCase {
    std::vector<const char*> args;
    std::string expected;
};

void expect_outcomes(const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        std::string line;
        for (const char* a : c.args) line += std::string(" ") + a;
        SCOPED_TRACE("tarnwick" + line);
        EXPECT_EQ(outcome(c.args), c.expected);
    }
}

}  // namespace

TEST(ParseRules, AValueTakingOptionNeverSwallowsAnOption) {
    expect_outcomes({
        {{"secrets", "acme/tool", "--tap", "--dry-run"},
         "error: a value is required for '--tap <TAP>' but none was supplied"},
        {{"new", "eqb", "--description", "--no-git"},
         "error: a value is required for '--description <DESCRIPTION>' but none was supplied"},
        {{"new", "eqb", "--owner", "--no-pypi"},
         "error: a value is required for '--owner <OWNER>' but none was supplied"},
        {{"check", "d", "--into", "-x"},
         "error: a value is required for '--into <INTO>' but none was supplied"},
        {{"new", "eqb", "--author", "--"},
         "error: a value is required for '--author <AUTHOR>' but none was supplied"},
        {{"check", "d", "-o", "-x"},
         "error: a value is required for '--output <OUTPUT>' but none was supplied"},
        {{"-o", "--help", "check", "d"},
         "error: a value is required for '--output <OUTPUT>' but none was supplied"},
        {{"secrets", "a", "--owner"},
         "error: a value is required for '--owner <OWNER>' but none was supplied"},
        // A lone "-" is a value, as in "read from standard input".
        {{"check", "d", "--into", "-"}, "output=auto check [d] into=[-]"},
        {{"new", "eqb", "--description", "-"},
         "output=auto new [eqb] description=[-] owner=[kestrow] author=- into=[.]"},
        {{"check", "-"}, "output=auto check [-] into=[.]"},
    });
}

TEST(ParseRules, AnAttachedValueIsTakenVerbatim) {
    expect_outcomes({
        {{"new", "eqb", "--author=", "--no-git"},
         "output=auto new [eqb] description=- owner=[kestrow] author=[] into=[.] no-git"},
        {{"new", "eqb", "--description=", "--no-pypi"},
         "output=auto new [eqb] description=[] owner=[kestrow] author=- into=[.] no-pypi"},
        {{"new", "eqb", "--description=--no-git"},
         "output=auto new [eqb] description=[--no-git] owner=[kestrow] author=- into=[.]"},
        {{"new", "eqb", "--owner=a=b"},
         "output=auto new [eqb] description=- owner=[a=b] author=- into=[.]"},
        {{"new", "eqb", "--license=MIT OR Apache-2.0"},
         "output=auto new [eqb] description=- owner=[kestrow] author=- into=[.] "
         "license=[MIT OR Apache-2.0]"},
        {{"check", "d", "--into=-x"}, "output=auto check [d] into=[-x]"},
        {{"secrets", "a", "--tap=--dry-run"},
         "output=auto secrets [a] owner=[kestrow] tap=[--dry-run]"},
        {{"check", "d", "-o=json"}, "output=json check [d] into=[.]"},
        {{"check", "d", "-ojson"}, "output=json check [d] into=[.]"},
        {{"check", "d", "--output=text"}, "output=text check [d] into=[.]"},
        {{"-o=text", "check", "d"}, "output=text check [d] into=[.]"},
        {{"-otext"}, "output=text"},
        {{"check", "d", "-o="}, "error: invalid value '' for '--output <OUTPUT>'"},
        {{"check", "d", "-o=-"}, "error: invalid value '-' for '--output <OUTPUT>'"},
        {{"-o", "-", "check", "d"}, "error: invalid value '-' for '--output <OUTPUT>'"},
    });
}

TEST(ParseRules, FlagsTakeNoValue) {
    expect_outcomes({
        {{"new", "a", "--no-git=false"},
         "error: unexpected value 'false' for '--no-git' found; no more were expected"},
        {{"new", "a", "--github=0"},
         "error: unexpected value '0' for '--github' found; no more were expected"},
        {{"secrets", "a", "--dry-run=false"},
         "error: unexpected value 'false' for '--dry-run' found; no more were expected"},
        {{"new", "a", "--no-pypi="},
         "error: unexpected value '' for '--no-pypi' found; no more were expected"},
        {{"--version=1"},
         "error: unexpected value '1' for '--version' found; no more were expected"},
        {{"-h=x"}, "error: unexpected value 'x' for '--help' found; no more were expected"},
        // A flag followed by a plain word leaves the word to the positionals.
        {{"secrets", "--dry-run", "a"}, "output=auto secrets [a] owner=[kestrow] tap=- dry-run"},
    });
}

TEST(ParseRules, AfterTheDoubleDashEveryWordIsPositional) {
    expect_outcomes({
        {{"check", "--", "-x"}, "output=auto check [-x] into=[.]"},
        {{"check", "--", "--into"}, "output=auto check [--into] into=[.]"},
        {{"check", "--into", "p", "--", "--"}, "output=auto check [--] into=[p]"},
        {{"new", "--", "a", "--no-git"}, "error: unexpected argument '--no-git' found"},
        {{"check", "a", "--", "-o"}, "error: unexpected argument '-o' found"},
        {{"--", "check", "a"}, "error: unexpected argument 'check' found"},
    });
}

TEST(ParseRules, ShortHelpForTheRootLongHelpEverywhereElse) {
    expect_outcomes({
        {{"-h"}, "help: Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds."},
        {{"-o", "json", "-h"},
         "help: Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds."},
        {{"--help"},
         "help: Scaffold a complete, ordoval-compliant Rust CLI: source skeleton, schema + "
         "conformance test, and the GitHub-hosted dual-publish release pipeline."},
        {{"help"},
         "help: Scaffold a complete, ordoval-compliant Rust CLI: source skeleton, schema + "
         "conformance test, and the GitHub-hosted dual-publish release pipeline."},
        {{"new", "-h"}, "help: Scaffold a new ordoval-compliant Rust CLI into ./<name>"},
        {{"-V"}, "version: tarnwick 0.2.0"},
        // Help is answered where it is met; a mistake before it is reported instead.
        {{"new", "--frob", "-h"}, "error: unexpected argument '--frob' found"},
        {{"help", "frob"}, "error: unrecognized subcommand 'frob'"},
    });
}

TEST(ParseRules, ShortAndLongHelpDifferOnlyInAboutAndHelpLine) {
    std::string short_help = parse({"-h"}).error().text;
    std::string long_help = parse({"--help"}).error().text;
    EXPECT_NE(short_help.find("\n  -h, --help             Print help (see more with '--help')\n"),
              std::string::npos)
        << short_help;
    EXPECT_NE(long_help.find("\n  -h, --help             Print help\n"), std::string::npos)
        << long_help;
    EXPECT_EQ(long_help.find("see more"), std::string::npos);
    const std::string tail = "\n\nUsage: tarnwick [OPTIONS] [COMMAND]\n";
    EXPECT_EQ(short_help.substr(short_help.find(tail),
                                short_help.find("  -h, --help") - short_help.find(tail)),
              long_help.substr(long_help.find(tail),
                               long_help.find("  -h, --help") - long_help.find(tail)));
    // A subcommand has no long description: both forms read the same.
    EXPECT_EQ(parse({"secrets", "-h"}).error().text, parse({"secrets", "--help"}).error().text);
}

TEST(Parse, UpdatePathIsOptionalAndAnyBytes) {
    struct Row {
        std::vector<const char*> words;
        std::string path;
        bool dry_run;
        std::optional<License> license = std::nullopt;  // kept unless given
    };
    for (const Row& row : std::vector<Row>{
             {{"update"}, ".", false},
             {{"update", "--dry-run"}, ".", true},
             {{"update", "proj\xff", "-o", "json"}, "proj\xff", false},
             {{"update", "--", "-p"}, "-p", false},
             {{"update", "--license", "Apache-2.0"}, ".", false, License::Apache},
         }) {
        SCOPED_TRACE(row.path);
        auto r = parse(row.words);
        ASSERT_TRUE(r.ok()) << r.error().text;
        const auto& u = std::get<Update>(*r->command);
        EXPECT_EQ(u.path, row.path);
        EXPECT_EQ(u.dry_run, row.dry_run);
        EXPECT_EQ(u.license, row.license);
    }
    EXPECT_EQ(parse_failure({"update", "a", "b"}),
              "error: unexpected argument 'b' found\n\nUsage: tarnwick update [OPTIONS] "
              "[PATH]\n\nFor more information, try '--help'.");
}

TEST(Parse, DoctorRepoIsOptional) {
    struct Row {
        std::vector<const char*> words;
        std::optional<std::string> repo;
        std::string owner;
        std::optional<std::string> tap;
        std::string project;
    };
    for (const Row& row : std::vector<Row>{
             {{"doctor"}, std::nullopt, "kestrow", std::nullopt, "."},
             {{"doctor", "tool", "--owner", "acme"}, "tool", "acme", std::nullopt, "."},
             {{"doctor", "acme/tool", "--tap", "acme/taps", "--project", "p\xff"},
              "acme/tool",
              "kestrow",
              "acme/taps",
              "p\xff"},
         }) {
        SCOPED_TRACE(row.project + row.owner);
        auto r = parse(row.words);
        ASSERT_TRUE(r.ok()) << r.error().text;
        const auto& d = std::get<Doctor>(*r->command);
        EXPECT_EQ(d.repo, row.repo);
        EXPECT_EQ(d.owner, row.owner);
        EXPECT_EQ(d.tap, row.tap);
        EXPECT_EQ(d.project, row.project);
    }
    EXPECT_EQ(parse_failure({"doctor", "a", "b"}),
              "error: unexpected argument 'b' found\n\nUsage: tarnwick doctor [OPTIONS] "
              "[REPO]\n\nFor more information, try '--help'.");
}

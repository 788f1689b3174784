// The completion scripts, proven in the real shells: bash and fish are asked for candidates
// directly, zsh and elvish complete in an interactive session inside a private tmux server,
// elvish's completer is also called with a stand-in edit: namespace, and the PowerShell
// script (no interpreter here) is checked as text. A test whose shell is absent is skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "cli/command_table.hpp"
#include "support/harness.hpp"

using namespace tarnwick::testing;

namespace {

using Words = std::vector<std::string>;

// The commands as the program declares them: their names, sorted, as candidates come back;
// and each name followed by its help, in the declared order.
Words declared_commands() {
    Words names;
    for (const tarnwick::CommandSpec& command : tarnwick::command_tree().commands) {
        names.emplace_back(command.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Words declared_command_lines() {
    Words lines;
    for (const tarnwick::CommandSpec& command : tarnwick::command_tree().commands) {
        lines.emplace_back(command.name);
        lines.emplace_back(command.help);
    }
    return lines;
}

const Words kSubcommands = declared_commands();
const Words kShells = {"bash", "elvish", "fish", "powershell", "zsh"};

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

#define REQUIRE_PROGRAM(program) \
    if (!on_path(program))       \
    GTEST_SKIP() << (program) << " is not installed (scripts/install-deps.sh installs it)"

// The script `tarnwick completions <shell>` prints, saved in home.
std::string script_file(const TempDir& home, const std::string& shell) {
    auto r = run_tarnwick({"completions", shell}, home.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string path = home / (shell + "-completion");
    write_file(path, r.out);
    return path;
}

Words sorted_lines(const std::string& text) {
    Words lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The words of a command line as the shell splits it; a trailing space starts an empty word.
Words split(const std::string& line) {
    Words words;
    std::stringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    if (!line.empty() && line.back() == ' ') words.push_back("");
    return words;
}

std::string first_field(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

struct Case {
    std::string line;
    Words expected;  // sorted
};

// The same questions for every shell that can be asked directly.
const std::vector<Case> kCases = {
    {"tarnwick ne", {"new"}},
    {"tarnwick ", kSubcommands},
    {"tarnwick -o json ", kSubcommands},
    {"tarnwick new --n", {"--no-git", "--no-pypi"}},
    {"tarnwick -o ", {"auto", "json", "text"}},
    {"tarnwick check x --output ", {"auto", "json", "text"}},
    {"tarnwick completions ", kShells},
    {"tarnwick help sch", {"schema"}},
    {"tarnwick new --description ", {}},
    {"tarnwick new ", {}},
    {"tarnwick secrets acme/tool --v", {"--verify"}},
    {"tarnwick new demo --v", {}},
    {"tarnwick --v", {"--version"}},
    {"tarnwick check demo --v", {}},
    {"tarnwick update --d", {"--description", "--dry-run"}},
    {"tarnwick doctor acme/tool --",
     {"--help", "--output", "--owner", "--project", "--strict", "--tap"}},
};

// Two directories and a file, for the --into cases.
void make_tree(const TempDir& dir) {
    write_file(dir / "alpha/keep", "");
    write_file(dir / "beta/keep", "");
    write_file(dir / "file.txt", "");
}

// ---- bash --------------------------------------------------------------------------------

// Sources the script, then calls the function it registered for tarnwick with COMP_WORDS
// set to words (the cursor in the last one) and prints COMPREPLY sorted.
Words bash_complete(const TempDir& home, const std::string& script, const Words& words) {
    Words args = {"--norc",
                  "--noprofile",
                  "-c",
                  "source \"$1\"; spec=$(complete -p tarnwick) || exit 9; fn=${spec#*-F }; "
                  "fn=${fn%% *}; COMP_WORDS=(\"${@:2}\"); COMP_CWORD=$(( $# - 2 )); "
                  "\"$fn\" tarnwick \"${COMP_WORDS[COMP_CWORD]}\"; "
                  "printf '%s\\n' \"${COMPREPLY[@]}\"",
                  "bash",
                  script};
    args.insert(args.end(), words.begin(), words.end());
    RunOptions opts;
    opts.cwd = home.path();
    auto r = run_program("bash", args, default_env(home.path()), opts);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return sorted_lines(r.out);
}

TEST(CompletionsBash, RegistersItsFunctionAlongsideBashCompletion) {
    REQUIRE_PROGRAM("bash");
    TempDir home;
    std::string script = script_file(home, "bash");
    std::string loader = "/usr/share/bash-completion/bash_completion";
    std::string setup = exists(loader) ? "source " + loader + "; " : "";
    auto r = run_program("bash",
                         {"--norc", "--noprofile", "-c",
                          setup + "source \"$1\"; complete -p tarnwick", "bash", script},
                         default_env(home.path()), {});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "complete -F _tarnwick tarnwick\n");
}

TEST(CompletionsBash, CompletesCommandsOptionsAndValues) {
    REQUIRE_PROGRAM("bash");
    TempDir home;
    std::string script = script_file(home, "bash");
    for (const Case& c : kCases) {
        EXPECT_EQ(bash_complete(home, script, split(c.line)), c.expected) << c.line;
    }
    // Options of the command being typed only: --verify after secrets, never --no-git.
    Words secrets = bash_complete(home, script, split("tarnwick secrets x --"));
    EXPECT_NE(std::find(secrets.begin(), secrets.end(), "--verify"), secrets.end());
    EXPECT_EQ(std::find(secrets.begin(), secrets.end(), "--no-git"), secrets.end());
    EXPECT_EQ(std::find(secrets.begin(), secrets.end(), "--version"), secrets.end());
    // readline splits "--output=" at the "=".
    EXPECT_EQ(bash_complete(home, script, {"tarnwick", "new", "--output", "=", "j"}),
              Words{"json"});
    EXPECT_EQ(bash_complete(home, script, {"tarnwick", "--output=t"}), Words{"--output=text"});
}

TEST(CompletionsBash, CompletesOnlyDirectoriesForInto) {
    REQUIRE_PROGRAM("bash");
    TempDir home;
    std::string script = script_file(home, "bash");
    make_tree(home);
    EXPECT_EQ(bash_complete(home, script, split("tarnwick new --into ")), (Words{"alpha", "beta"}));
    EXPECT_EQ(bash_complete(home, script, split("tarnwick check --into a")), Words{"alpha"});
    EXPECT_EQ(bash_complete(home, script, split("tarnwick new --into f")), Words{});
    EXPECT_EQ(bash_complete(home, script, split("tarnwick update b")), Words{"beta"});
}

// ---- fish --------------------------------------------------------------------------------

// `complete -C line` after sourcing the script: one "candidate<TAB>description" per line.
Words fish_complete(const TempDir& home, const std::string& script, const std::string& line) {
    RunOptions opts;
    opts.cwd = home.path();
    auto r = run_program(
        "fish", {"--no-config", "-c", "source $argv[1]; and complete -C $argv[2]", script, line},
        default_env(home.path()), opts);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return sorted_lines(r.out);
}

Words candidates(const Words& lines) {
    Words out;
    for (const std::string& l : lines) out.push_back(first_field(l));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CompletionsFish, CompletesCommandsOptionsAndValues) {
    REQUIRE_PROGRAM("fish");
    TempDir home;
    std::string script = script_file(home, "fish");
    for (const Case& c : kCases) {
        EXPECT_EQ(candidates(fish_complete(home, script, c.line)), c.expected) << c.line;
    }
    Words secrets = candidates(fish_complete(home, script, "tarnwick secrets x --"));
    EXPECT_NE(std::find(secrets.begin(), secrets.end(), "--verify"), secrets.end());
    EXPECT_EQ(std::find(secrets.begin(), secrets.end(), "--no-git"), secrets.end());
    EXPECT_EQ(candidates(fish_complete(home, script, "tarnwick --output=j")),
              Words{"--output=json"});
    make_tree(home);
    EXPECT_EQ(candidates(fish_complete(home, script, "tarnwick new --into ")),
              (Words{"alpha/", "beta/"}));
}

TEST(CompletionsFish, ShowsHelpTextsWithTheirQuotesAndDollars) {
    REQUIRE_PROGRAM("fish");
    TempDir home;
    std::string script = script_file(home, "fish");
    Words commands = fish_complete(home, script, "tarnwick s");
    EXPECT_EQ(commands,
              (Words{"schema\tPrint the machine-readable contract (ordoval.dev) as JSON",
                     "secrets\tBootstrap a repo's release secrets (Homebrew deploy key, cargo + "
                     "PyPI tokens)"}));
    EXPECT_EQ(fish_complete(home, script, "tarnwick secrets x --py"),
              Words{"--pypi-token-stdin\tRead the PyPI token from stdin instead of "
                    "$PYPI_API_TOKEN"});
    EXPECT_EQ(fish_complete(home, script, "tarnwick secrets x --t"),
              Words{"--tap\tHomebrew tap repo to register the deploy key on (default: "
                    "<owner>/homebrew-tap)"});
}

// ---- interactive shells in tmux ----------------------------------------------------------

bool contains_all(const std::string& screen, const Words& texts) {
    return std::all_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return screen.find(t) != std::string::npos; });
}

// A private tmux server (its own socket) running one interactive shell; killed on
// destruction.
class TmuxSession {
public:
    // reset: the keys that abandon a completion and empty the command line.
    TmuxSession(const TempDir& home, const std::map<std::string, std::string>& env,
                const std::string& command, Words reset)
        : reset_(std::move(reset)),
          socket_("tarnwick-completions-" + std::to_string(::getpid()) + "-" +
                  std::to_string(counter_++)),
          env_(env),
          home_(home.path()) {
        env_["TERM"] = "xterm";
        auto r = tmux({"new-session", "-d", "-x", "200", "-y", "50", command});
        started_ = r.exit_code == 0;
        EXPECT_TRUE(started_) << r.err;
    }
    ~TmuxSession() { tmux({"kill-server"}); }

    void send(const Words& keys) {
        Words args = {"send-keys", "-t", "0"};
        args.insert(args.end(), keys.begin(), keys.end());
        tmux(args);
    }

    // Waits up to ten seconds for the screen to satisfy done; returns the last screen.
    template <typename Done>
    std::string wait_until(Done done) {
        std::string screen;
        for (int i = 0; i < 100; ++i) {
            screen = tmux({"capture-pane", "-p", "-t", "0"}).out;
            if (done(screen)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return screen;
    }

    std::string wait_for(const Words& texts) {
        return wait_until([&](const std::string& screen) { return contains_all(screen, texts); });
    }

    // Empties the line until only the prompt shows, then types line and a Tab.
    std::string complete(const std::string& line, const Words& expected) {
        // One key at a time: an Escape directly followed by another key reads as Alt+key.
        for (const std::string& key : reset_) {
            send({key});
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        wait_until([](const std::string& screen) { return sorted_lines(screen).size() == 1; });
        send({"-l", line});
        send({"Tab"});
        return wait_for(expected);
    }

    bool started() const { return started_; }

private:
    RunResult tmux(const Words& args) {
        Words full = {"-L", socket_, "-f", "/dev/null"};
        full.insert(full.end(), args.begin(), args.end());
        RunOptions opts;
        opts.cwd = home_;
        return run_program("tmux", full, env_, opts);
    }

    static inline int counter_ = 0;
    Words reset_;
    std::string socket_;
    std::map<std::string, std::string> env_;
    std::string home_;
    bool started_ = false;
};

const Words kSubcommandLines = declared_command_lines();

// ---- zsh ---------------------------------------------------------------------------------

TEST(CompletionsZsh, LoadsUnderCompinitWithoutError) {
    REQUIRE_PROGRAM("zsh");
    TempDir home;
    std::string script = script_file(home, "zsh");
    auto r = run_program("zsh",
                         {"-f", "-c",
                          "autoload -Uz compinit && compinit -u -d \"$1/.zcompdump\" && "
                          "source \"$2\" && print -r -- $_comps[tarnwick]",
                          "zsh", home.path(), script},
                         default_env(home.path()), {});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "_tarnwick\n");
}

// The script is installed the usual way, as _tarnwick in a directory of $fpath, and
// completes in a real interactive zsh.
TEST(CompletionsZsh, CompletesInAnInteractiveShell) {
    REQUIRE_PROGRAM("zsh");
    REQUIRE_PROGRAM("tmux");
    TempDir home;
    write_file(home / "functions/_tarnwick", read_file(script_file(home, "zsh")));
    write_file(home / ".zshrc",
               "fpath=(\"$ZDOTDIR/functions\" $fpath)\n"
               "autoload -Uz compinit && compinit -u -d \"$ZDOTDIR/.zcompdump\"\n"
               "PROMPT='zsh%% '\n");
    make_tree(home);
    auto env = default_env(home.path());
    env["ZDOTDIR"] = home.path();
    TmuxSession zsh(home, env, "zsh -i", {"C-u", "C-l"});
    ASSERT_TRUE(zsh.started());
    ASSERT_TRUE(contains_all(zsh.wait_for({"zsh%"}), {"zsh%"})) << "no zsh prompt";

    std::string screen = zsh.complete("tarnwick ", kSubcommandLines);
    EXPECT_TRUE(contains_all(screen, kSubcommandLines)) << screen;

    screen = zsh.complete("tarnwick -o ", {"auto", "json", "text"});
    EXPECT_NE(screen.find("auto  json  text"), std::string::npos) << screen;

    screen = zsh.complete("tarnwick secrets x --", {"--verify", "$PYPI_API_TOKEN"});
    EXPECT_TRUE(contains_all(
        screen, {"--verify", "--dry-run", "--tap", "--owner", "instead of $PYPI_API_TOKEN"}))
        << screen;
    EXPECT_EQ(screen.find("--no-git"), std::string::npos) << screen;

    screen = zsh.complete("tarnwick ne", {"zsh% tarnwick new\n"});
    EXPECT_NE(screen.find("zsh% tarnwick new\n"), std::string::npos) << screen;

    screen = zsh.complete("tarnwick check --into ", {"alpha/", "beta/"});
    EXPECT_TRUE(contains_all(screen, {"alpha/", "beta/"})) << screen;
    EXPECT_EQ(screen.find("file.txt"), std::string::npos) << screen;
}

// ---- elvish ------------------------------------------------------------------------------

// Evaluates the script with a stand-in edit: namespace (the real one exists only in an
// interactive elvish) and calls the completer it registered with words.
Words elvish_complete(const TempDir& home, const std::string& script, const Words& words) {
    Words args = {"-norc", "-c",
                  "var edit: = (ns [&completion:=(ns [&arg-completer=[&]]) "
                  "&complex-candidate~={|text &display='' &code-suffix=''| put $text }])\n"
                  "eval (slurp < $args[0])\n"
                  "$edit:completion:arg-completer[tarnwick] (all $args[1..]) | each {|c| echo $c }",
                  script};
    args.insert(args.end(), words.begin(), words.end());
    RunOptions opts;
    opts.cwd = home.path();
    auto r = run_program("elvish", args, default_env(home.path()), opts);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return sorted_lines(r.out);
}

TEST(CompletionsElvish, RegisteredCompleterGivesCommandsOptionsAndValues) {
    REQUIRE_PROGRAM("elvish");
    TempDir home;
    std::string script = script_file(home, "elvish");
    for (const Case& c : kCases) {
        EXPECT_EQ(elvish_complete(home, script, split(c.line)), c.expected) << c.line;
    }
    make_tree(home);
    EXPECT_EQ(elvish_complete(home, script, split("tarnwick new --into ")),
              (Words{"alpha", "beta"}));
}

TEST(CompletionsElvish, CompletesInAnInteractiveShell) {
    REQUIRE_PROGRAM("elvish");
    REQUIRE_PROGRAM("tmux");
    TempDir home;
    std::string script = script_file(home, "elvish");
    write_file(home / "rc.elv",
               "eval (slurp < " + script + ")\nset edit:prompt = { put 'elv> ' }\n");
    TmuxSession elvish(home, default_env(home.path()), "elvish -rc " + (home / "rc.elv"),
                       {"Escape", "C-u"});
    ASSERT_TRUE(elvish.started());
    ASSERT_TRUE(contains_all(elvish.wait_for({"elv>"}), {"elv>"})) << "no elvish prompt";

    Words listed;
    for (std::size_t i = 0; i < kSubcommandLines.size(); i += 2) {
        listed.push_back(kSubcommandLines[i] + " -- " + kSubcommandLines[i + 1]);
    }
    std::string screen = elvish.complete("tarnwick ", listed);
    EXPECT_TRUE(contains_all(screen, listed)) << screen;

    screen = elvish.complete("tarnwick -o ", {"auto", "json", "text"});
    EXPECT_NE(screen.find("auto  json  text"), std::string::npos) << screen;
}

// ---- PowerShell (no interpreter: the text) -----------------------------------------------

// True when every (, { and @( closes in order outside single-quoted strings ('' is a quote).
bool balanced_outside_strings(const std::string& text) {
    std::string open;
    bool in_string = false, in_comment = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_comment) {
            in_comment = c != '\n';
        } else if (in_string) {
            if (c == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                ++i;
            } else if (c == '\'') {
                in_string = false;
            }
        } else if (c == '#') {
            in_comment = true;
        } else if (c == '\'') {
            in_string = true;
        } else if (c == '(' || c == '{' || c == '[') {
            open += c;
        } else if (c == ')' || c == '}' || c == ']') {
            char want = c == ')' ? '(' : c == '}' ? '{' : '[';
            if (open.empty() || open.back() != want) return false;
            open.pop_back();
        }
    }
    return open.empty() && !in_string;
}

TEST(CompletionsPowershell, RegistersANativeCompleterWithEveryCommandAndOption) {
    TempDir home;
    std::string text = read_file(script_file(home, "powershell"));
    EXPECT_NE(
        text.find("Register-ArgumentCompleter -Native -CommandName 'tarnwick' -ScriptBlock {"),
        std::string::npos);
    EXPECT_TRUE(balanced_outside_strings(text));
    for (std::size_t i = 0; i < kSubcommandLines.size(); i += 2) {
        std::string description = kSubcommandLines[i + 1];
        for (std::size_t at = description.find('\''); at != std::string::npos;
             at = description.find('\'', at + 2)) {
            description.insert(at, "'");
        }
        EXPECT_NE(text.find("@{ Name = '" + kSubcommandLines[i] + "'; Description = '" +
                            description + "' }"),
                  std::string::npos)
            << kSubcommandLines[i];
    }
    EXPECT_NE(text.find("        'tarnwick' = @{"), std::string::npos);
    for (std::size_t i = 0; i < kSubcommandLines.size(); i += 2) {
        const std::string key = "'tarnwick " + kSubcommandLines[i] + "'";
        EXPECT_NE(text.find("        " + key + " = @{"), std::string::npos) << key;
    }
    for (const char* option : {"@('-o', '--output')", "@('-h', '--help')", "@('-V', '--version')",
                               "@('--description')", "@('--owner')", "@('--author')", "@('--into')",
                               "@('--no-git')", "@('--github')", "@('--no-pypi')", "@('--tap')",
                               "@('--pypi-token-stdin')", "@('--dry-run')", "@('--verify')"}) {
        EXPECT_NE(text.find(std::string("Names = ") + option), std::string::npos) << option;
    }
    EXPECT_NE(text.find("Description = 'Read the PyPI token from stdin instead of "
                        "$PYPI_API_TOKEN'; Kind = 'flag'"),
              std::string::npos);
    EXPECT_NE(text.find("Kind = 'choices'; Choices = @('auto', 'json', 'text')"),
              std::string::npos);
    EXPECT_NE(text.find("Kind = 'choices'; Choices = @('bash', 'elvish', 'fish', 'powershell', "
                        "'zsh')"),
              std::string::npos);
    EXPECT_NE(text.find("@('--into'); Description = 'Directory to create the crate inside'; "
                        "Kind = 'dirs'"),
              std::string::npos);
}

// ---- a choice that holds a space --------------------------------------------------------

// "MIT OR Apache-2.0" stays one word: escaped by bash, quoted by PowerShell, and offered whole
// by fish and elvish, which quote what they insert.
TEST(CompletionsChoices, AChoiceWithSpacesStaysOneWord) {
    TempDir home;
    const Words licenses = {"Apache-2.0", "MIT", "MIT OR Apache-2.0"};
    if (on_path("bash")) {
        const std::string script = script_file(home, "bash");
        EXPECT_EQ(bash_complete(home, script, split("tarnwick update --license ")),
                  (Words{"Apache-2.0", "MIT", "MIT\\ OR\\ Apache-2.0"}));
        EXPECT_EQ(bash_complete(home, script, {"tarnwick", "new", "x", "--license", "MIT\\ O"}),
                  Words{"MIT\\ OR\\ Apache-2.0"});
    }
    if (on_path("fish")) {
        EXPECT_EQ(
            candidates(fish_complete(home, script_file(home, "fish"), "tarnwick new x --license ")),
            licenses);
    }
    if (on_path("elvish")) {
        EXPECT_EQ(
            elvish_complete(home, script_file(home, "elvish"), split("tarnwick update --license ")),
            licenses);
    }
    EXPECT_NE(read_file(script_file(home, "powershell"))
                  .find("$text = if ($choice.Contains(' ')) { \"'\" + $choice + \"'\" }"),
              std::string::npos);
}

// ---- every shell -------------------------------------------------------------------------

TEST(CompletionsCommand, PrintsEveryScriptWhateverOutputSays) {
    TempDir home;
    for (const std::string& shell : kShells) {
        std::string plain;
        for (const Words& args :
             {Words{"completions", shell}, Words{"-o", "json", "completions", shell},
              Words{"completions", shell, "--output", "text"}}) {
            SCOPED_TRACE(::testing::PrintToString(args));
            auto r = run_tarnwick(args, home.path());
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(r.out.ends_with('\n'));
            EXPECT_NE(r.out.find("tarnwick"), std::string::npos);
            if (plain.empty()) plain = r.out;
            EXPECT_EQ(r.out, plain) << "--output changed the script";
        }
    }
}

}  // namespace

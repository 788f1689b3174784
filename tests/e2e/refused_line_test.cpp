// A mistyped or hostile command line is a usage error before anything happens: every child
// tarnwick could start is a spy that logs its call, and the working directory must stay
// empty. Values that are merely unusual still reach the files exactly as typed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "scaffold_fixture.hpp"

using namespace tarnwick::testing;

namespace {

class RefusedLine : public ScaffoldRun {
protected:
    void SetUp() override {
        write_git_identity(home(), "Ada Lovelace", "ada@example.com");
        for (const char* tool : {"git", "gh", "cargo", "ssh-keygen"}) {
            const std::string path = spies_ / tool;
            write_file(path, "#!/bin/sh\necho \"$0 $*\" >> '" + calls_log() + "'\n");
            ASSERT_EQ(::chmod(path.c_str(), 0755), 0) << path;
        }
    }

    std::string calls_log() const { return home() + "/calls"; }

    RunResult run(const std::vector<std::string>& args) {
        return tarnwick(args, spies_.path(), {}, false);
    }

    TempDir spies_;
};

std::string message_of(const std::string& envelope) {
    const std::string key = "\"message\":\"";
    auto at = envelope.find(key);
    if (at == std::string::npos) return {};
    return envelope.substr(at + key.size(), envelope.rfind("\"}}") - at - key.size());
}

}  // namespace

TEST_F(RefusedLine, IsAUsageErrorThatWritesNothingAndStartsNoChild) {
    const std::string kOwner =
        "invalid --owner \\\"bad owner!\\\": use a GitHub account name: 1 to 39 ASCII letters, "
        "digits or single hyphens, not starting or ending with a hyphen";
    const std::string kTap =
        "invalid --tap \\\"acme/mytap\\\": use OWNER/homebrew-NAME, the GitHub repository that "
        "Homebrew taps as OWNER/NAME";
    const std::string kRepo =
        "invalid repository \\\"bad repo!\\\": use OWNER/NAME or NAME, a GitHub account name and "
        "a repository name of 1 to 100 ASCII letters, digits, '.', '-' or '_'";
    struct Case {
        std::vector<std::string> args;
        std::string message;  // the start of the envelope's message, JSON-escaped
    };
    const std::vector<Case> cases = {
        {{"secrets", "acme/tool", "--tap", "--dry-run"},
         "error: a value is required for '--tap <TAP>' but none was supplied"},
        {{"new", "eqb", "--description", "--no-git"},
         "error: a value is required for '--description <DESCRIPTION>' but none was supplied"},
        {{"new", "eqb", "--owner", "--no-pypi"},
         "error: a value is required for '--owner <OWNER>'"},
        {{"check", "d", "--into", "-x"}, "error: a value is required for '--into <INTO>'"},
        {{"new", "eqb", "--no-git=false"},
         "error: unexpected value 'false' for '--no-git' found; no more were expected"},
        {{"new", "eqb", "--github=0"}, "error: unexpected value '0' for '--github' found"},
        {{"secrets", "acme/tool", "--dry-run=false"},
         "error: unexpected value 'false' for '--dry-run' found"},
        {{"new", "fn"}, "invalid crate name \\\"fn\\\": it is a Rust keyword"},
        {{"check", "std"},
         "invalid crate name \\\"std\\\": it is the name of a built-in Rust crate"},
        {{"new", "build", "--no-git"},
         "invalid crate name \\\"build\\\": cargo reserves it for a build directory"},
        {{"new", "eqb", "--owner", "a;curl${IFS}x|sh;#"},
         "invalid --owner \\\"a;curl${IFS}x|sh;#\\\": use a GitHub account name"},
        {{"new", "eqb", "--description", "${{ secrets.HOMEBREW_TAP_DEPLOY_KEY }}"},
         "invalid --description \\\"${{ secrets.HOMEBREW_TAP_DEPLOY_KEY }}\\\": \\\"${{\\\" is "
         "refused"},
        {{"new", "eqb", "--description", "#{system('id')}"},
         "invalid --description \\\"#{system('id')}\\\": \\\"#{\\\" is refused, Ruby"},
        {{"new", "eqb", "--author", ". <a@b.c>"},
         "invalid --author \\\". <a@b.c>\\\": git refuses the commit name"},
        {{"secrets", "--dry-run", "--", "-R/x"},
         "invalid repository \\\"-R/x\\\": use OWNER/NAME or NAME"},
        {{"secrets", "tool", "--owner=-R"},
         "invalid --owner \\\"-R\\\": use a GitHub account name"},
        {{"secrets", "acme/tool", "--tap=--help", "--dry-run"},
         "invalid --tap \\\"--help\\\": use OWNER/homebrew-NAME"},
        // An owner, a repository and a tap have one rule each, and every command that takes the
        // value refuses it with the same message.
        {{"new", "eqb", "--no-git", "--owner", "bad owner!"}, kOwner},
        {{"secrets", "demo", "--dry-run", "--owner", "bad owner!"}, kOwner},
        {{"secrets", "acme/demo", "--dry-run", "--owner", "bad owner!"}, kOwner},
        {{"update", "--owner", "bad owner!"}, kOwner},
        {{"doctor", "demo", "--owner", "bad owner!"}, kOwner},
        {{"secrets", "acme/demo", "--dry-run", "--tap", "acme/mytap"}, kTap},
        {{"update", "--tap", "acme/mytap"}, kTap},
        {{"doctor", "acme/demo", "--tap", "acme/mytap"}, kTap},
        {{"secrets", "bad repo!", "--dry-run"}, kRepo},
        {{"doctor", "bad repo!"}, kRepo},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += " " + a;
        SCOPED_TRACE("tarnwick" + line);
        auto r = run(c.args);
        EXPECT_EQ(r.exit_code, 3);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("\"kind\":\"usage\""), std::string::npos) << r.err;
        EXPECT_EQ(message_of(r.err).rfind(c.message, 0), 0u) << r.err;
        EXPECT_FALSE(exists(calls_log())) << read_file(calls_log());
        EXPECT_TRUE(std::filesystem::is_empty(work()));
    }
}

TEST_F(RefusedLine, AttachedAndUnusualValuesReachTheFilesAsTyped) {
    auto r = run({"new", "eqb", "--description=--no-git", "--author=", "--owner=Acme-2", "--no-git",
                  "-o=json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 1), "{");
    const std::string cargo = read_file(work("eqb/Cargo.toml"));
    EXPECT_NE(cargo.find("description = \"--no-git\"\n"), std::string::npos) << cargo;
    EXPECT_NE(cargo.find("authors = [\"\"]\n"), std::string::npos) << cargo;
    EXPECT_NE(cargo.find("repository = \"https://github.com/Acme-2/eqb\"\n"), std::string::npos);

    const std::string typed = "#1 $HOME ${HOME} {{owner}} 100% \xE2\x9C\x93";
    auto t = run({"new", "typed", "--description", typed, "--author", "Ada", "--no-git"});
    ASSERT_EQ(t.exit_code, 0) << t.err;
    EXPECT_NE(read_file(work("typed/README.md")).find("\n" + typed + "\n"), std::string::npos);
    EXPECT_NE(read_file(work("typed/Cargo.toml")).find("description = \"" + typed + "\"\n"),
              std::string::npos);
    // --no-git: no child but the optional cargo ran, asked only to format and to pin the
    // dependencies (the spy writes no lock file, so the network is never tried), on the
    // project's manifest by its absolute path: cargo starts in the root directory.
    const auto cargo_calls = [&](const std::string& name) {
        const std::string manifest = " --manifest-path " +
                                     std::filesystem::canonical(work()).string() + "/" + name +
                                     "/Cargo.toml";
        return spies_ / "cargo" + " fmt" + manifest + "\n" + spies_ / "cargo" +
               " generate-lockfile" + manifest + " --offline\n";
    };
    EXPECT_EQ(read_file(calls_log()), cargo_calls("eqb") + cargo_calls("typed"));
}

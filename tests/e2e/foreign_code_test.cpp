// `new` runs nobody else's code: a directory that appears at the destination while `new` runs
// is never written into, and a toolchain file near the destination never picks the cargo
// that formats and pins the project.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "scaffold_fixture.hpp"
#include "support/test_paths.hpp"

using namespace tarnwick::testing;

namespace {

class ForeignCode : public ScaffoldRun {
protected:
    void SetUp() override { write_git_identity(home(), "Ada Lovelace", "ada@example.com"); }
};

// Where rustup installed the user's cargo and its proxies.
std::string user_cargo_bin() {
    const char* cargo_home = std::getenv("CARGO_HOME");
    const char* real_home = std::getenv("HOME");
    return (cargo_home && *cargo_home ? std::string(cargo_home)
                                      : std::string(real_home ? real_home : "") + "/.cargo") +
           "/bin";
}

}  // namespace

// Two runs that race for one name: the exclusive mkdir lets exactly one of them have it,
// every time; the other reports `exists` and writes nothing.
TEST_F(ForeignCode, OfTwoSimultaneousRunsForOneNameExactlyOneSucceeds) {
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    RunOptions options;
    options.env["PATH"] = std::string(TARNWICK_FAKES_DIR) + ":" + tool_dir(tools);
    constexpr int kTries = 30;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        TempDir place;
        options.cwd = place.path();
        int pids[2];
        for (int i = 0; i < 2; ++i) {
            pids[i] = start_tarnwick({"new", "demo", "--no-git", "-o", "text"}, home(), options,
                                     place / ("out" + std::to_string(i)),
                                     place / ("err" + std::to_string(i)));
            ASSERT_GT(pids[i], 0);
        }
        int won = 0;
        for (int i = 0; i < 2; ++i) {
            const auto r = finish_tarnwick(pids[i], place / ("out" + std::to_string(i)),
                                           place / ("err" + std::to_string(i)));
            if (r.exit_code == 0) {
                ++won;
                EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Scaffolded ./demo (18 files)");
            } else {
                EXPECT_EQ(r.exit_code, 3) << r.err;
                EXPECT_NE(r.err.find("\"kind\":\"exists\""), std::string::npos) << r.err;
            }
        }
        EXPECT_EQ(won, 1);
    }
}

// A toolchain file planted above the project names a toolchain of its own whose cargo only
// leaves a marker. `new` runs cargo pinned to the toolchain that is active where it started,
// so the planted one never runs: not from --into, not from further up, and not when rustup
// cannot name a toolchain at all (a path toolchain needs no installation, so an unpinned
// cargo would still reach it).
TEST_F(ForeignCode, AToolchainFileNearTheDestinationNeverChoosesCargo) {
    const std::string rustup_bin = user_cargo_bin();
    if (::access((rustup_bin + "/rustup").c_str(), X_OK) != 0) {
        GTEST_SKIP() << "rustup is not installed";
    }
    const std::string planted = bins_ / "planted";
    const std::string marker = bins_ / "MARKER";
    for (const char* tool : {"cargo", "cargo-fmt", "rustfmt", "rustc"}) {
        write_file(planted + "/bin/" + tool, "#!/bin/sh\necho \"$0 $*\" >> '" + marker + "'\n");
        std::filesystem::permissions(planted + "/bin/" + tool, std::filesystem::perms::owner_all);
    }
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    const std::string dir = tool_dir(tools);
    for (const char* tool : {"cargo", "rustup"}) {
        std::filesystem::create_symlink(rustup_bin + "/" + tool, dir + "/" + tool);
    }
    const TempDir empty_rustup_home;
    struct Case {
        const char* what;
        const char* toolchain_file;  // relative to the work directory
        const char* into;
        std::map<std::string, std::optional<std::string>> env;
    };
    const std::vector<Case> cases = {
        {"in --into", "shared/rust-toolchain.toml", "shared", {}},
        {"above --into", "up/rust-toolchain", "up/shared", {}},
        {"rustup knows no toolchain",
         "bare/rust-toolchain.toml",
         "bare",
         {{"RUSTUP_HOME", empty_rustup_home.path()}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(work(c.toolchain_file), "[toolchain]\npath = \"" + planted + "\"\n");
        RunOptions options;
        options.cwd = bins_.path();  // started away from the planted file
        options.env = c.env;
        const std::string name = "p" + std::to_string(n++);
        auto r = tarnwick({"new", name, "--no-git", "--into", work(c.into)}, dir, options);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(exists(work(std::string(c.into) + "/" + name + "/Cargo.toml")));
        EXPECT_FALSE(exists(marker)) << read_file(marker);
    }
}

// A cargo configuration near the destination is never read: cargo runs where tarnwick was
// started, so neither an alias for `fmt` nor a rustc wrapper planted in or above --into runs.
TEST_F(ForeignCode, ACargoConfigNearTheDestinationIsNeverRead) {
    const std::string cargo_bin = user_cargo_bin();
    if (::access((cargo_bin + "/cargo").c_str(), X_OK) != 0) {
        GTEST_SKIP() << "cargo is not installed";
    }
    const std::string marker = bins_ / "MARKER";
    const std::string planted = bins_ / "planted.sh";
    write_file(planted, "#!/bin/sh\necho \"$0 $*\" >> '" + marker + "'\n");
    std::filesystem::permissions(planted, std::filesystem::perms::owner_all);
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    const std::string dir = tool_dir(tools);
    for (const char* tool : {"cargo", "cargo-fmt", "rustfmt", "rustc", "rustup"}) {
        if (::access((cargo_bin + "/" + tool).c_str(), X_OK) == 0) {
            std::filesystem::create_symlink(cargo_bin + "/" + tool, dir + "/" + tool);
        }
    }
    // The alias names an external subcommand; this one is on PATH, as the planted tool.
    std::filesystem::create_symlink(planted, dir + "/cargo-planted-fmt");
    const std::string config =
        "[alias]\nfmt = \"planted-fmt\"\n[build]\nrustc-wrapper = \"" + planted + "\"\n";
    const struct {
        const char* what;
        const char* config_dir;  // relative to the work directory
        const char* into;
    } cases[] = {{"in --into", "in/.cargo", "in"}, {"above --into", "up/.cargo", "up/deeper"}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(work(c.config_dir) + "/config.toml", config);
        RunOptions options;
        options.cwd = bins_.path();  // started away from the planted configuration
        const std::string name = "c" + std::to_string(n++);
        auto r = tarnwick({"new", name, "--no-git", "--into", work(c.into)}, dir, options);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_FALSE(exists(marker)) << read_file(marker);
    }
}

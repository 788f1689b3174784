// Tool directories, runs of tarnwick and git for the scaffolding end-to-end tests, and the
// expected project listing.
#include "scaffold_fixture.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/test_paths.hpp"

namespace tarnwick::testing {

const std::vector<std::string>& ScaffoldRun::shell_tools() {
    static const std::vector<std::string> tools = {"bash", "cat", "mkdir", "find", "wc"};
    return tools;
}

std::string ScaffoldRun::tool_dir(const std::vector<std::string>& tools) {
    const std::string dir = bins_ / ("bin" + std::to_string(bin_count_++));
    std::filesystem::create_directories(dir);
    const char* path = std::getenv("PATH");
    for (const std::string& tool : tools) {
        std::stringstream dirs(path ? path : "/usr/bin:/bin");
        std::string candidate;
        while (std::getline(dirs, candidate, ':')) {
            std::string full = candidate + "/" + tool;
            if (::access(full.c_str(), X_OK) == 0) {
                std::filesystem::create_symlink(full, dir + "/" + tool);
                break;
            }
        }
    }
    return dir;
}

RunResult ScaffoldRun::tarnwick(const std::vector<std::string>& args, const std::string& tools,
                                RunOptions options, bool with_fakes) {
    if (options.cwd.empty()) options.cwd = work();
    options.env["PATH"] = with_fakes ? std::string(TARNWICK_FAKES_DIR) + ":" + tools : tools;
    return run_tarnwick(args, home(), options);
}

RunResult ScaffoldRun::tarnwick(const std::vector<std::string>& args, RunOptions options) {
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    return tarnwick(args, tool_dir(tools), std::move(options));
}

std::string ScaffoldRun::git(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> full = {"-C", dir};
    full.insert(full.end(), args.begin(), args.end());
    auto r = run_program("git", full, default_env(home()), {});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

std::vector<std::string> sorted_project_files(bool pypi) {
    std::vector<std::string> files = {".github/dependabot.yml",
                                      ".github/workflows/ci.yml",
                                      ".github/workflows/release.yml",
                                      ".gitignore",
                                      ".tarnwick.toml",
                                      "Cargo.toml",
                                      "LICENSE",
                                      "Makefile",
                                      "README.md",
                                      "prek.toml",
                                      "pyproject.toml",
                                      "schemas/ordoval-v0.3.json",
                                      "src/error.rs",
                                      "src/lib.rs",
                                      "src/main.rs",
                                      "src/schema.rs",
                                      "tests/cli.rs",
                                      "tests/conformance.rs"};
    if (!pypi) std::erase(files, "pyproject.toml");
    return files;
}

std::string json_string_list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const auto& item : items) out += (out.size() > 1 ? ",\"" : "\"") + item + "\"";
    return out + "]";
}

Answers demo_answers(bool pypi) {
    return {.name = "demo",
            .owner = "acme",
            .description = "A demo tool.",
            .author = "Ada Lovelace <ada@example.com>",
            .year = "2024",
            .pypi = pypi,
            .tap = "acme/homebrew-tap"};
}

}  // namespace tarnwick::testing

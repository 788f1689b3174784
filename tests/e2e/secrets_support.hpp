// Shared set-up of the secrets end-to-end tests: a HOME, a separate TMPDIR, and the fake gh's
// log and scenario directories, with readers for what the fake recorded.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace tarnwick::testing {

// The bytes of the envelope line for a backend error (which always carries the gh hint).
inline std::string backend_envelope(const std::string& message) {
    return "{\"error\":{\"exit_code\":2,\"hint\":\"ensure `gh` is installed and authenticated "
           "(`gh auth status`)\",\"kind\":\"backend\",\"message\":\"" +
           message + "\"}}\n";
}

inline std::string io_envelope(const std::string& message) {
    return "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"" + message + "\"}}\n";
}

class SecretsWorld {
public:
    TempDir home, tmp, log, scenario, bin;

    RunOptions options(std::map<std::string, std::optional<std::string>> env = {}) const {
        RunOptions o;
        o.env = {{"TMPDIR", tmp.path()},
                 {"FAKE_GH_LOG", log.path()},
                 {"FAKE_GH_SCENARIO", scenario.path()}};
        for (auto& [k, v] : env) o.env[k] = v;
        return o;
    }

    RunResult run(const std::vector<std::string>& args,
                  std::map<std::string, std::optional<std::string>> env = {},
                  std::optional<std::string> input = std::nullopt) const {
        auto o = options(std::move(env));
        o.input = std::move(input);
        return run_tarnwick(args, home.path(), o);
    }

    void answer(const std::string& file, const std::string& text) const {
        write_file(scenario / file, text);
    }

    // Each gh call as its arguments joined by spaces.
    std::vector<std::string> calls() const {
        std::vector<std::string> out;
        for (std::size_t i = 0;; ++i) {
            const std::string args = log_file(i, "args");
            if (!exists(args)) break;
            std::string line = read_file(args);
            for (auto& c : line) c = c == '\n' ? ' ' : c;
            if (!line.empty()) line.pop_back();
            out.push_back(line);
        }
        return out;
    }

    std::string stdin_of(std::size_t call) const { return read_file(log_file(call, "stdin")); }

    std::string log_file(std::size_t call, const std::string& ext) const {
        char name[32];
        std::snprintf(name, sizeof name, "%03zu.%s", call, ext.c_str());
        return log / name;
    }

    // Entries in TMPDIR named like a key directory (tarnwick-key-XXXXXX) or an upload file.
    std::vector<std::string> key_files_left() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(tmp.path())) {
            const std::string name = e.path().filename();
            if (name.rfind("tarnwick-key-", 0) == 0 || name.rfind("tarnwick-pub-", 0) == 0)
                out.push_back(name);
        }
        return out;
    }

    // A directory holding only the programs the fake gh needs, for PATHs without ssh-keygen.
    std::string shell_tools() const {
        for (const char* tool : {"bash", "cat", "find", "wc", "mkdir"}) {
            for (const char* dir : {"/usr/bin/", "/bin/"}) {
                const std::string target = std::string(dir) + tool;
                if (exists(target) && !exists(bin / tool)) {
                    std::filesystem::create_symlink(target, bin / tool);
                }
            }
        }
        return bin.path();
    }

    // An executable script named name in the bin directory.
    void fake_tool(const std::string& name, const std::string& script) const {
        write_file(bin / name, script);
        EXPECT_EQ(::chmod((bin / name).c_str(), 0755), 0) << name;
    }
};

}  // namespace tarnwick::testing

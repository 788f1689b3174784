// Shared set-up of the secrets end-to-end tests: a HOME, a separate TMPDIR, and the fake gh's
// log and scenario directories, with readers for what the fake recorded.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
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
    // store: the fake gh's GitHub state, for every call the scenario does not answer.
    TempDir home, tmp, log, scenario, bin, store;

    RunOptions options(std::map<std::string, std::optional<std::string>> env = {}) const {
        RunOptions o;
        o.env = {{"TMPDIR", tmp.path()},
                 {"FAKE_GH_LOG", log.path()},
                 {"FAKE_GH_SCENARIO", scenario.path()},
                 {"FAKE_GH_STORE", store.path()}};
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

    // A deploy key already registered on repo, as an earlier run would have left it.
    void seed_key(const std::string& repo, int id, const std::string& title,
                  const std::string& pub = "ssh-ed25519 AAAAseeded") const {
        std::string dir = repo;
        for (auto& c : dir) c = c == '/' ? '%' : c;
        dir = store / ("deploy-keys/" + dir + "/" + std::to_string(id));
        write_file(dir + ".pub", pub + "\n");
        write_file(dir + ".title", title);
        write_file(dir + ".write", "true\n");
        if (!exists(store / "deploy-keys/.last-id") ||
            std::stoi(read_file(store / "deploy-keys/.last-id")) < id) {
            write_file(store / "deploy-keys/.last-id", std::to_string(id) + "\n");
        }
    }

    // The public keys registered on repo, one line each, in id order.
    std::vector<std::string> registered_keys(const std::string& repo) const {
        std::string dir = repo;
        for (auto& c : dir) c = c == '/' ? '%' : c;
        std::vector<std::string> ids;
        if (!exists(store / ("deploy-keys/" + dir))) return {};
        for (const auto& e : std::filesystem::directory_iterator(store / ("deploy-keys/" + dir))) {
            if (e.path().extension() == ".pub") ids.push_back(e.path().stem());
        }
        std::sort(ids.begin(), ids.end(), [](const std::string& a, const std::string& b) {
            return std::stol(a) < std::stol(b);
        });
        std::vector<std::string> keys;
        for (const auto& id : ids) {
            std::string key = read_file(store / ("deploy-keys/" + dir + "/" + id + ".pub"));
            keys.push_back(key.substr(0, key.find('\n')));
        }
        return keys;
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

#include "scaffold/lockfile.hpp"

#include <optional>
#include <vector>

#include "process/runner.hpp"
#include "scaffold/destination.hpp"

namespace tarnwick {

void format_project(const std::string& destination, const CargoToolchain& toolchain) {
    if (!toolchain.usable) return;
    (void)run_command("cargo", {"fmt", "--manifest-path", destination + "/Cargo.toml"},
                      std::nullopt, std::nullopt, toolchain.env);
}

// Without a network the second run fails at once instead of retrying for seconds.
bool generate_lockfile(const std::string& destination, const CargoToolchain& toolchain) {
    if (!toolchain.usable) return false;
    std::vector<std::string> env = toolchain.env;
    env.push_back("CARGO_NET_RETRY=0");
    for (const bool offline : {true, false}) {
        std::vector<std::string> args = {"generate-lockfile", "--manifest-path",
                                         destination + "/Cargo.toml"};
        if (offline) args.push_back("--offline");
        auto run = run_command("cargo", args, std::nullopt, std::nullopt, env);
        if (!run) return false;  // no cargo: the network cannot help either
        if (run->success) return path_exists(destination + "/Cargo.lock");
    }
    return false;
}

}  // namespace tarnwick

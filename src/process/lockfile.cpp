#include "process/lockfile.hpp"

#include <filesystem>
#include <vector>

#include "core/io.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

// cargo starts in the neutral directory, so a relative project path would be read from there.
std::string manifest_of(const std::string& destination) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(destination, ec);
    return (ec ? destination : absolute.lexically_normal().string()) + "/Cargo.toml";
}

}  // namespace

void format_project(const std::string& destination, const CargoToolchain& toolchain) {
    if (!toolchain.usable) return;
    (void)run_child({.program = "cargo",
                     .args = {"fmt", "--manifest-path", manifest_of(destination)},
                     .dir = std::string(kNeutralDir),
                     .extra_env = toolchain.env});
}

namespace {

// From cargo's cache first, then from the network; without a network the second run fails at
// once instead of retrying for seconds.
bool run_cargo_lock(const std::vector<std::string>& command, const std::string& destination,
                    const CargoToolchain& toolchain) {
    if (!toolchain.usable) return false;
    std::vector<std::string> env = toolchain.env;
    env.push_back("CARGO_NET_RETRY=0");
    for (const bool offline : {true, false}) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {"--manifest-path", manifest_of(destination)});
        if (offline) args.push_back("--offline");
        auto run = run_child(
            {.program = "cargo", .args = args, .dir = std::string(kNeutralDir), .extra_env = env});
        if (!run) return false;  // no cargo: the network cannot help either
        if (run->success) return path_exists(destination + "/Cargo.lock");
    }
    return false;
}

}  // namespace

bool generate_lockfile(const std::string& destination, const CargoToolchain& toolchain) {
    return run_cargo_lock({"generate-lockfile"}, destination, toolchain);
}

bool refresh_lockfile(const std::string& destination, const CargoToolchain& toolchain) {
    return run_cargo_lock({"update", "--workspace"}, destination, toolchain);
}

}  // namespace tarnwick

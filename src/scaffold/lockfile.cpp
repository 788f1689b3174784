#include "scaffold/lockfile.hpp"

#include <optional>
#include <vector>

#include "process/runner.hpp"
#include "scaffold/destination.hpp"

namespace tarnwick {

// Without a network the second run fails at once instead of retrying for seconds.
bool generate_lockfile(const std::string& destination) {
    for (const bool offline : {true, false}) {
        std::vector<std::string> args = {"generate-lockfile"};
        if (offline) args.push_back("--offline");
        auto run = run_command("cargo", args, std::nullopt, destination, {"CARGO_NET_RETRY=0"});
        if (!run) return false;  // no cargo: the network cannot help either
        if (run->success) return path_exists(destination + "/Cargo.lock");
    }
    return false;
}

}  // namespace tarnwick

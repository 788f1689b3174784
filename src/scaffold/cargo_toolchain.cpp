// Toolchain resolution for the cargo runs of `new`. Only the name is read from rustup; any
// failure of a rustup that exists means no cargo run at all, since an unpinned rustup cargo
// would follow the toolchain files around the destination.
#include "scaffold/cargo_toolchain.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/text.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

// The first executable called name in PATH's directories, as a shell would find it.
std::optional<std::string> find_on_path(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const auto colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + std::string(name);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        dirs.remove_prefix(colon + 1);
    }
}

// rustup's proxies are links to rustup itself, which acts on the name it is started under.
std::optional<std::string> rustup_behind_cargo() {
    const auto cargo = find_on_path("cargo");
    if (!cargo) return std::nullopt;
    std::error_code ec;
    const auto target = std::filesystem::canonical(*cargo, ec);
    if (ec || target.filename() != "rustup") return std::nullopt;
    return target.string();
}

}  // namespace

std::optional<std::string> active_toolchain_name(std::string_view output) {
    std::string_view line = output.substr(0, output.find('\n'));
    line = line.substr(0, line.find(" ("));
    line = trim(line);
    if (line.empty()) return std::nullopt;
    return std::string(line);
}

CargoToolchain resolve_cargo_toolchain() {
    const std::vector<std::string> show = {"show", "active-toolchain"};
    auto run = run_command("rustup", show);
    if (!run) {
        const auto behind = rustup_behind_cargo();
        if (!behind) return {};
        run = run_command(*behind, show);
        if (!run) return {.usable = false, .env = {}};
    }
    const auto name = run->success ? active_toolchain_name(run->stdout_text) : std::nullopt;
    if (!name) return {.usable = false, .env = {}};
    return {.usable = true, .env = {"RUSTUP_TOOLCHAIN=" + *name}};
}

}  // namespace tarnwick

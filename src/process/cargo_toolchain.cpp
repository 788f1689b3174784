// Toolchain resolution for the cargo runs of `new`. Only the name is read from rustup; any
// failure of a rustup that exists means no cargo run at all, since an unpinned rustup cargo
// would follow the toolchain files around the destination.
#include "process/cargo_toolchain.hpp"

#include <filesystem>

#include "core/text.hpp"
#include "process/program_path.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

// rustup's proxies are links to rustup itself, which acts on the name it is started under.
std::optional<std::string> rustup_behind_cargo() {
    const auto cargo = find_program("cargo");
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

CargoToolchain resolve_cargo_toolchain(const std::optional<std::string>& dir) {
    const std::vector<std::string> show = {"show", "active-toolchain"};
    auto run = run_child({.program = "rustup", .args = show, .dir = dir});
    if (!run) {
        const auto behind = rustup_behind_cargo();
        if (!behind) return {};
        run = run_child({.program = *behind, .args = show, .dir = dir});
        if (!run) return {.usable = false, .env = {}};
    }
    const auto name = run->success ? active_toolchain_name(run->stdout_text) : std::nullopt;
    if (!name) return {.usable = false, .env = {}};
    return {.usable = true, .env = {"RUSTUP_TOOLCHAIN=" + *name}};
}

}  // namespace tarnwick

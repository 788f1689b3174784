#include "process/gh_version.hpp"

#include <charconv>

#include "core/text.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kPrefix = "gh version ";
constexpr std::string_view kUpgrade =
    "upgrade gh: https://github.com/cli/cli#installation (distribution packages are often older)";

// One decimal number without sign or leading "+", advancing text past it.
std::optional<int> take_number(std::string_view& text) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

bool take_dot(std::string_view& text) {
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<GhVersion> parse_gh_version(std::string_view version_output) {
    std::string_view line = version_output.substr(0, version_output.find('\n'));
    if (!line.starts_with(kPrefix)) return std::nullopt;
    line.remove_prefix(kPrefix.size());
    return parse_version(line);
}

std::optional<GhVersion> parse_version(std::string_view line) {
    GhVersion version;
    const auto major = take_number(line);
    if (!major || !take_dot(line)) return std::nullopt;
    const auto minor = take_number(line);
    if (!minor || !take_dot(line)) return std::nullopt;
    const auto patch = take_number(line);
    if (!patch) return std::nullopt;
    if (!line.empty() && line.front() != ' ' && line.front() != '+' && line.front() != '-') {
        return std::nullopt;
    }
    version.major = *major;
    version.minor = *minor;
    version.patch = *patch;
    return version;
}

std::string to_string(GhVersion version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

Result<GhVersion> installed_gh_version() {
    TARNWICK_TRY_ASSIGN(auto run, run_gh_checked({"--version"}));
    const auto version = parse_gh_version(run.stdout_text);
    if (!version) {
        std::string first_line = run.stdout_text.substr(0, run.stdout_text.find('\n'));
        return CliError::backend("gh", "cannot read a version from `gh --version`, which printed " +
                                           tarnwick::quoted(first_line) + "; " +
                                           std::string(kUpgrade));
    }
    return *version;
}

Status require_gh(GhVersion minimum, std::string_view needed_by) {
    TARNWICK_TRY_ASSIGN(const auto installed, installed_gh_version());
    if (installed < minimum) {
        return CliError::backend(
            "gh", "gh " + to_string(installed) + " is too old: " + std::string(needed_by) +
                      " needs gh " + to_string(minimum) + " or newer; " + std::string(kUpgrade));
    }
    return Ok{};
}

}  // namespace tarnwick

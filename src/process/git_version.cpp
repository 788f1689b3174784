#include "process/git_version.hpp"

#include <string>

#include "core/text.hpp"
#include "process/runner.hpp"

namespace tarnwick {

std::optional<GitVersion> parse_git_version(std::string_view version_output) {
    constexpr std::string_view kPrefix = "git version ";
    std::string_view line = version_output.substr(0, version_output.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.starts_with(kPrefix)) return std::nullopt;
    line.remove_prefix(kPrefix.size());
    // MAJOR.MINOR.PATCH, then whatever a distribution appends (".windows.1", " (Apple Git-145)").
    std::size_t end = 0;
    for (int dots = 0; end < line.size(); ++end) {
        if (line[end] == '.' && ++dots == 3) break;
        if (line[end] != '.' && (line[end] < '0' || line[end] > '9')) break;
    }
    return parse_version(line.substr(0, end));
}

Status require_git(GitVersion minimum, std::string_view needed_by) {
    auto run = run_child({.program = "git", .args = {"--version"}});
    if (!run) return CliError::git("could not run git: " + run.error().text());
    const auto version = parse_git_version(run->stdout_text);
    if (!run->success || !version) {
        const std::string first_line = run->stdout_text.substr(0, run->stdout_text.find('\n'));
        return CliError::git("cannot read a version from `git --version`, which printed " +
                             tarnwick::quoted(escape_non_printable(first_line)));
    }
    if (*version < minimum) {
        return CliError::git("git " + to_string(*version) + " is too old: " +
                             std::string(needed_by) + " needs git " + to_string(minimum) +
                             " or newer; upgrade git: https://git-scm.com/downloads");
    }
    return Ok{};
}

}  // namespace tarnwick

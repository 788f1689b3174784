#include "core/github_names.hpp"

#include "core/text.hpp"

namespace tarnwick {
namespace {

bool is_ascii_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

bool is_github_account(std::string_view name) {
    constexpr std::size_t kMaxAccountBytes = 39;
    if (name.empty() || name.size() > kMaxAccountBytes) return false;
    if (name.front() == '-' || name.back() == '-' || name.find("--") != name.npos) return false;
    for (char c : name) {
        if (!is_ascii_alnum(c) && c != '-') return false;
    }
    return true;
}

bool is_github_repository_name(std::string_view name) {
    constexpr std::size_t kMaxRepositoryBytes = 100;
    if (name.empty() || name.size() > kMaxRepositoryBytes || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        if (!is_ascii_alnum(c) && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

bool is_github_repository(std::string_view slug) {
    const auto slash = slug.find('/');
    if (slash == std::string_view::npos) return false;
    return is_github_account(slug.substr(0, slash)) &&
           is_github_repository_name(slug.substr(slash + 1));
}

Status check_gh_repository(std::string_view what, const std::string& repo) {
    if (!repo.starts_with('-')) return Ok{};
    return CliError::usage("invalid " + std::string(what) + " " + tarnwick::quoted(repo) +
                           ": a repository beginning with '-' would be read by gh as an option");
}

Status check_tap_syntax(const std::optional<std::string>& tap) {
    if (!tap || is_github_repository(*tap)) return Ok{};
    return CliError::usage("invalid --tap " + tarnwick::quoted(*tap) +
                           ": use OWNER/NAME, a GitHub account and a repository name");
}

}  // namespace tarnwick

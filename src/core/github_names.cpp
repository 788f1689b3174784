#include "core/github_names.hpp"

#include "core/text.hpp"

namespace tarnwick {
namespace {

// The start of every tap repository's name.
constexpr std::string_view kTapPrefix = "homebrew-";

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

Status check_owner(std::string_view owner) {
    if (is_github_account(owner)) return Ok{};
    return CliError::usage("invalid --owner " + quoted(owner) +
                           ": use a GitHub account name: 1 to 39 ASCII letters, digits or single "
                           "hyphens, not starting or ending with a hyphen");
}

Status check_repository(std::string_view repo) {
    if (repo.find('/') == std::string_view::npos ? is_github_repository_name(repo)
                                                 : is_github_repository(repo)) {
        return Ok{};
    }
    return CliError::usage("invalid repository " + quoted(repo) +
                           ": use OWNER/NAME or NAME, a GitHub account name and a repository "
                           "name of 1 to 100 ASCII letters, digits, '.', '-' or '_'");
}

Status check_tap(std::string_view tap) {
    const auto slash = tap.find('/');
    if (is_github_repository(tap) && tap.substr(slash + 1).starts_with(kTapPrefix) &&
        tap.size() > slash + 1 + kTapPrefix.size()) {
        return Ok{};
    }
    return CliError::usage("invalid --tap " + quoted(tap) +
                           ": use OWNER/homebrew-NAME, the GitHub repository that Homebrew taps "
                           "as OWNER/NAME");
}

std::string default_tap(std::string_view owner) {
    return std::string(owner) + "/" + std::string(kTapPrefix) + "tap";
}

std::string tap_short_name(std::string_view tap) {
    const auto slash = tap.find('/');
    if (slash == std::string_view::npos || !tap.substr(slash + 1).starts_with(kTapPrefix)) {
        return std::string(tap);
    }
    return std::string(tap.substr(0, slash + 1)) +
           std::string(tap.substr(slash + 1 + kTapPrefix.size()));
}

}  // namespace tarnwick

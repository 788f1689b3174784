// GitHub's syntax for account and repository names, which options that name a repository
// are checked against before any of it reaches gh.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// 1 to 39 ASCII letters, digits or single hyphens, no hyphen first or last.
bool is_github_account(std::string_view name);

// 1 to 100 ASCII letters, digits, ".", "-" or "_", and neither "." nor "..".
bool is_github_repository_name(std::string_view name);

// OWNER/NAME with one slash, each side valid as above.
bool is_github_repository(std::string_view slug);

// A usage error for a repository that gh would read as one of its own options (one beginning
// with "-"); what names it in the message ("repository").
Status check_gh_repository(std::string_view what, const std::string& repo);

// A usage error for a --tap that is not OWNER/NAME: an empty one would make gh fall back to the
// repository of the current directory, and the write-enabled key would go there.
Status check_tap_syntax(const std::optional<std::string>& tap);

}  // namespace tarnwick

// GitHub's syntax for account and repository names, which options that name a repository
// are checked against before any of it reaches gh.
#pragma once

#include <string_view>

namespace tarnwick {

// 1 to 39 ASCII letters, digits or single hyphens, no hyphen first or last.
bool is_github_account(std::string_view name);

// 1 to 100 ASCII letters, digits, ".", "-" or "_", and neither "." nor "..".
bool is_github_repository_name(std::string_view name);

// OWNER/NAME with one slash, each side valid as above.
bool is_github_repository(std::string_view slug);

}  // namespace tarnwick

// GitHub's syntax for account and repository names, and the one rule of each value that names
// an account or a repository, checked before any of it reaches gh or a generated file.
#pragma once

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

// The rule of each value that names a GitHub account or repository, one per value and the
// same in every command that takes it (new, secrets, update, doctor, and the answers of a
// project's record): a usage error naming the option, or Ok.

// --owner: a GitHub account name (is_github_account).
Status check_owner(std::string_view owner);

// REPO of secrets and doctor: OWNER/NAME, or a bare NAME that --owner completes. A value
// beginning with "-", which gh would read as one of its options, fails it.
Status check_repository(std::string_view repo);

// --tap: OWNER/homebrew-NAME, the repository Homebrew taps as OWNER/NAME. The release pushes
// the formula there and the project's README installs with `brew install OWNER/NAME/TOOL`,
// which Homebrew resolves to that repository only when its name starts with "homebrew-".
Status check_tap(std::string_view tap);

// The tap of an owner who names none: OWNER/homebrew-tap, for every command that needs one.
std::string default_tap(std::string_view owner);

// The name Homebrew knows a tap repository by: OWNER/homebrew-NAME is OWNER/NAME.
std::string tap_short_name(std::string_view tap);

}  // namespace tarnwick

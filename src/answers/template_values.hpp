// The template values that do not come straight from the command line: the default
// description, the author from the user's git configuration, and the year.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// The author written when git has no user.name.
inline constexpr std::string_view kPlaceholderAuthor = "Your Name <you@example.com>";

std::string default_description(std::string_view name);

// `git config <key>`, trimmed; absent when git cannot run, fails, or prints nothing. A value
// that is not UTF-8 is a usage error naming the key: it cannot be written as it is.
Result<std::optional<std::string>> git_config(std::string_view key);

// "name <email>", "name", or the placeholder author, from user.name and user.email (both are
// always read); an error of git_config for either.
Result<std::string> default_author();

// The members of the author's entry in pyproject.toml's `authors`, which keeps name and
// e-mail apart: `name = "N", email = "E"`, leaving out an empty part (`name = ""` when both
// are). Values are inserted as they are, like every placeholder.
std::string pyproject_author_fields(std::string_view author);

// 1970 plus whole average Gregorian years (31556952 s) since the epoch; 1970 before it.
std::string year_from_seconds(std::int64_t seconds);

// year_from_seconds of the real-time clock.
std::string current_year();

}  // namespace tarnwick

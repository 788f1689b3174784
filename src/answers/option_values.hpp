// Guards for the values that `new` pastes into TOML, Rust, YAML and Ruby string literals and
// into the release workflow's shell lines: whatever would end or corrupt such a literal, or be
// evaluated there, is refused up front.
#pragma once

#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// Refuses a double quote, a backslash or a control character in --description, and the
// openers that GitHub Actions ("${{") or Ruby ("#{", "#@", "#$") would evaluate.
Status check_description(std::string_view description);

// As check_description, for --author or, when from_git_config, the author that was built
// from the user's git configuration (the message then points at --author).
Status check_author(std::string_view author, bool from_git_config);

// When the author names the first commit: refuses a commit name that git would reject, one
// made only of the punctuation and spaces git strips from names.
Status check_commit_author(std::string_view author, bool from_git_config);

}  // namespace tarnwick

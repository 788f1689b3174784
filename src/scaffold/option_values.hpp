// Guards for the free-text values that `new` pastes into TOML, Rust, YAML and Ruby string
// literals: characters that would end or corrupt such a literal are refused up front.
#pragma once

#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// Refuses a double quote, a backslash or a control character in --description.
Status check_description(std::string_view description);

// As check_description, for --author or, when from_git_config, the author that was built
// from the user's git configuration (the message then points at --author).
Status check_author(std::string_view author, bool from_git_config);

// Refuses an empty owner, "/", white space, and what check_description refuses.
Status check_owner(std::string_view owner);

}  // namespace tarnwick

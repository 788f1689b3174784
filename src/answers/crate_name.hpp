// The crate-name rule shared by `new` and `check`, and the two spellings derived from a
// valid name that the templates need.
#pragma once

#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// 1 to 64 bytes of [a-z0-9_-], starting with [a-z], whose snake form is no Rust keyword,
// built-in crate, name cargo keeps for itself or dependency of the generated crate; else a
// usage error quoting the name.
Status validate_crate_name(std::string_view name);

// For a valid crate name that is also published on PyPI: it must end with a letter or digit.
Status validate_python_name(std::string_view name);

// Every "-" becomes "_".
std::string snake_name(std::string_view name);

// Pieces between "-" and "_", empty ones dropped, each with its first letter upper-cased.
std::string pascal_name(std::string_view name);

}  // namespace tarnwick

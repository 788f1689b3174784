// Where a program would be found on PATH, the way the runner's spawn looks for it, without
// starting it: for tools that have no harmless way to ask for their version.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The first PATH entry holding an executable regular file of that name (an empty entry is the
// current directory; an unset PATH is the POSIX default search path); absent when none does.
std::optional<std::string> find_program(std::string_view name);

}  // namespace tarnwick

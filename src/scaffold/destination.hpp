// Where `new` would put a project and whether that place is taken; `check` asks the same
// two questions without writing anything.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// into + "/" + name, with no "/" added when into is empty or already ends with one.
std::string project_destination(std::string_view into, std::string_view name);

// True when a status query of path succeeds, following symbolic links: a dangling link
// counts as free.
bool path_exists(const std::string& path);

}  // namespace tarnwick

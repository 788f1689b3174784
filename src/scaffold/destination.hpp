// Where `new` would put a project and whether that place is taken; `check` asks the same
// two questions without writing anything. `new` then claims the place with one exclusive
// mkdir, so a directory that appears between the question and the claim is never used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/io.hpp"
#include "core/result.hpp"

namespace tarnwick {

// into + "/" + name, with no "/" added when into is empty or already ends with one.
std::string project_destination(std::string_view into, std::string_view name);

// The spelling of the entry of directory dir that name matches only when ASCII case is ignored
// ("Demo" for "demo"), or none when an entry is spelt exactly name or none matches. On a file
// system that ignores case (macOS's default) such an entry is what makes name taken.
std::optional<std::string> case_variant_in(const std::string& dir, std::string_view name);

// The `exists` error for a destination that is taken: shown as display, or, when the file
// system took an entry spelt in another case for it, as that entry.
CliError destination_taken(const std::string& destination, const std::string& display);

// Creates the missing ancestors of destination, then destination itself with one mkdir that
// accepts nothing already there (a directory, a file, a link, dangling or not): that is
// destination_taken. Any other failure is `io`.
Status claim_project_directory(const std::string& destination, const std::string& display);

}  // namespace tarnwick

// The files doctor reads from a project and from the user's home: only regular files, opened
// without blocking (a FIFO never stalls the run), and never more than a bound. Plus the one
// TOML form doctor needs: a string value of a key in a section.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/io.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The bytes of a regular file of at most limit bytes. The size is looked at before anything is
// read: a larger file fails with EFBIG at once, anything but a regular file with EINVAL.
Result<std::string, OsError> read_regular_file(const std::string& path, std::size_t limit);

// The value of `key = "value"` (or 'value') in `[section]` of a TOML text; absent when the key
// is missing or its value is not a one-line string.
std::optional<std::string> toml_string(std::string_view text, std::string_view section,
                                       std::string_view key);

}  // namespace tarnwick

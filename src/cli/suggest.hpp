// "Did you mean" support for parser reports: the closest known word to a mistyped one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Levenshtein distance in bytes.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidate closest to word, if it is close enough to be a plausible typo.
std::optional<std::string> closest_match(std::string_view word,
                                         const std::vector<std::string>& candidates);

}  // namespace tarnwick

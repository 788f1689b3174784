#include "cli/suggest.hpp"

#include <algorithm>
#include <numeric>

namespace tarnwick {

std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::optional<std::string> closest_match(std::string_view word,
                                         const std::vector<std::string>& candidates) {
    std::optional<std::string> best;
    std::size_t best_distance = 0;
    for (const auto& candidate : candidates) {
        std::size_t d = edit_distance(word, candidate);
        // Close enough to be a typo: at most two edits, and fewer than half the word.
        if (d == 0 || d > 2 || d * 2 > candidate.size()) continue;
        if (!best || d < best_distance) {
            best = candidate;
            best_distance = d;
        }
    }
    return best;
}

}  // namespace tarnwick

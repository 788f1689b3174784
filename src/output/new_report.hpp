// The report of `new`: what was created, the files, whether they were committed, the GitHub
// repository if one was made, and the commands to run next; as text or compact JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct NewReport {
    std::string created;             // the destination in display form
    std::vector<std::string> files;  // sorted
    bool committed = false;
    std::optional<std::string> repo;  // the slug, when the repository was created
    std::vector<std::string> next;
};

// The lines of the text report joined with "\n", without a final line feed.
std::string render_new_text(const NewReport& report);

// One compact JSON object, keys in byte order, without a final line feed.
std::string render_new_json(const NewReport& report);

}  // namespace tarnwick

// What `new` did: what was created, the files, whether they were committed, the GitHub
// repository if one was made, and the commands to run next.
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

}  // namespace tarnwick

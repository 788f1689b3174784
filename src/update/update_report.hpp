// What `update` did: the template sets it went between and how the base was found, the
// answers the new render used, the files it changed (or would change), the conflicts, the
// commit it made, and side notes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "answers/answers.hpp"

namespace tarnwick {

struct UpdateConflict {
    std::string path;  // relative to the project
    std::string kind;  // as `git status` names it: "both modified", "deleted by us", ...
};

struct UpdateReport {
    std::string project;  // the PATH argument in display form
    std::string from;     // the identity of the base's template set
    std::string to;       // the identity of this tarnwick's template set
    std::string base;     // how the base was found: the record, the first commit, or --from
    Answers answers;      // what the new render used
    std::string branch;   // the user's branch
    bool dry_run = false;
    bool current = false;                   // same set, same answers: nothing to do
    bool staged = false;                    // --no-commit: the merge is in the index, not committed
    std::optional<std::string> commit;      // the update's commit, when made
    std::vector<std::string> files;         // changed (or that would change) cleanly; sorted
    std::vector<UpdateConflict> conflicts;  // sorted by path
    std::vector<std::string> notes;
};

}  // namespace tarnwick

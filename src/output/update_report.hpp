// The report of `update`: which template versions it went between, the files it changed (or
// would change), the conflicts a dry run foresees, the commits it made, and side notes; as
// text or compact JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct UpdateReport {
    std::string project;              // the PATH argument in display form
    std::optional<std::string> from;  // tarnwick version of the base render, when recorded
    std::string to;                   // this tarnwick's version
    bool dry_run = false;
    bool current = false;                // the render is unchanged: nothing to do
    std::string base;                    // commit of the base render
    std::optional<std::string> render;   // commit of the new pristine render, when made
    std::optional<std::string> commit;   // the merge commit, when made
    std::vector<std::string> files;      // changed, or that would change; sorted
    std::vector<std::string> conflicts;  // that a dry run foresees; sorted
    std::vector<std::string> notes;
};

// The lines of the text report joined with "\n", without a final line feed.
std::string render_update_text(const UpdateReport& report);

// One compact JSON object, keys in byte order, without a final line feed.
std::string render_update_json(const UpdateReport& report);

}  // namespace tarnwick

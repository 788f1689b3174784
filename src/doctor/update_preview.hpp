// The one question doctor asks about `update`: would `tarnwick update --dry-run` change this
// text in this file? Doctor suggests `tarnwick update` only where it would, so the suggestion
// never does nothing; elsewhere it says what to edit.
#pragma once

#include <string_view>

namespace tarnwick {

// Whether an update of the project at project_dir would replace `stale`, as written in the file
// at relative_path (".github/workflows/release.yml"). Decided without running anything: the
// template set writes that path, and today's template of it no longer holds the text (so the
// new render moves away from it). A file or a line the template set does not write is the
// user's, and `update` keeps it as it is.
bool update_would_change(std::string_view project_dir, std::string_view relative_path,
                         std::string_view stale);

}  // namespace tarnwick

// What doctor says about `update`: whether it can run in a project (its record, or a project
// made before records that `update` adopts from its first commit), and whether it would change a
// stale text in a file. Doctor suggests `tarnwick update` only where it would, so the
// suggestion never does nothing; elsewhere it says what to edit.
#pragma once

#include <string>
#include <string_view>

#include "doctor/doctor_report.hpp"

namespace tarnwick {

// Whether an update of the project at project_dir would replace `stale`, as written in the file
// at relative_path (".github/workflows/release.yml"). Decided from the project's record and the
// embedded template sets, without running anything: today's template of that path no longer
// holds the text, and the set the project was made from (for a project without a record, any
// earlier set) wrote it. A line the user wrote is theirs, and `update` keeps it.
bool update_would_change(std::string_view project_dir, std::string_view relative_path,
                         std::string_view stale);

// The "update" item (its name left to the caller): the template set the record names and whether it
// is this tarnwick's; a record that cannot be read or was made by a newer tarnwick is a problem;
// without a record, whether `update` adopts the project is left to `tarnwick update --dry-run`.
// `update` (a command run in the project) is the fix's command prefix.
DoctorItem update_item(std::string_view project_dir, const std::string& update);

}  // namespace tarnwick

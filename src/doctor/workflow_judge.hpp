// Judging what the scanner read out of a workflow against the platform table. Each finding has
// a severity: a retired runner image is an error (the job never starts), a deprecated one a
// warning with its retirement date, an action on a tag rather than a commit, or on an older
// commit than the table's, a warning. A pin newer than the table, or an action the table does
// not list, is a note: nothing to fix.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doctor/doctor_contract.hpp"
#include "doctor/platform_table.hpp"
#include "doctor/workflow_scan.hpp"

namespace tarnwick {

struct WorkflowFinding {
    int line = 0;
    Severity severity = Severity::Note;
    std::string
        message;  // "runner image macos-14 is retired (2026-11-02; actions/runner-images#13518)"
    std::string stale;  // the text as written that a newer template would replace; empty for a note
    std::string edit;   // the change by hand: "replace macos-14 with an available image (…)"
    friend bool operator==(const WorkflowFinding&, const WorkflowFinding&) = default;
};

// The findings of the entries, in their order. A runner value holding an expression (`${{`),
// or one the table does not list (self-hosted, a matrix value that is not an image), and a
// local or docker `uses:` are not judged.
std::vector<WorkflowFinding> judge_workflow(const std::vector<WorkflowEntry>& entries,
                                            const PlatformTable& table);

// Whether version text a ("v7.1.0", "7.1") is older than b, equal, or newer (-1, 0, 1);
// absent when either is not a version.
std::optional<int> compare_versions(std::string_view a, std::string_view b);

}  // namespace tarnwick

// What `doctor` found: one entry per item checked, each with its status, what was found and
// the command that fixes it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "doctor/doctor_contract.hpp"

namespace tarnwick {

// One thing found in a file, at a line: a workflow's retired runner image, an unpinned action.
struct DoctorFinding {
    int line = 0;
    Severity severity = Severity::Note;
    std::string message;
    std::optional<std::string> fix;  // absent for a note
};

struct DoctorItem {
    std::string item;                        // a name of kDoctorItems, or a workflow file's path
    DoctorStatus status = DoctorStatus::Ok;  // a name of kDoctorStatuses in the report
    std::string detail;
    std::optional<std::string> fix;  // a command or step; absent when nothing is to be done
    std::vector<DoctorFinding> findings = {};  // in line order; only files have them
};

struct DoctorReport {
    std::vector<DoctorItem> items;
};

// Items whose status is a problem (kDoctorStatuses says which: a question that got no answer,
// such as an unreachable registry, is not a problem of the project).
int doctor_problems(const DoctorReport& report);

}  // namespace tarnwick

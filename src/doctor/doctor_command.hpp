// The `doctor` command: says, before anything changes, what `new`, `secrets` and `update`
// would be missing on this machine, for a repository, and in a project directory. It only
// reads: version queries, `git config`, `git ls-tree`, `gh auth status`, `gh api user`,
// `gh repo view`, GETs of the registries' public name lookups, files.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "core/result.hpp"
#include "doctor/doctor_record.hpp"

namespace tarnwick {

// The exit status of `doctor --strict` when the report counts problems (the report is still
// printed in full). No error kind uses it.
inline constexpr int kDoctorStrictExit = 1;

struct DoctorOutcome {
    std::string text;  // the rendered report, ending in one line feed
    int exit_status = 0;
};

// Fails only on a malformed REPO, --owner or --tap, or a --project that is not a directory.
Result<DoctorOutcome> run_doctor(const Doctor& args, OutputFormat format);

}  // namespace tarnwick

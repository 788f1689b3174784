// The `doctor` command: says, before anything changes, what `new`, `secrets` and `update`
// would be missing on this machine, for a repository, and in a project directory. It only
// reads: version queries, `git config`, `git ls-tree`, `gh auth status`, `gh api user`,
// `gh repo view`, GETs of the registries' public name lookups, files.
#pragma once

#include <optional>
#include <string>

#include "core/output_format.hpp"
#include "core/product.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The arguments of `doctor`, as the command line gives them.
struct Doctor {
    std::optional<std::string> repo;  // owner/name or a bare name; absent: no repository items
    std::string owner = std::string(kDefaultOwner);
    std::optional<std::string> tap;
    std::string project = ".";  // an existing directory; its .github/workflows are judged
    bool strict = false;        // exit kDoctorStrictExit when a problem is found
};

// The exit status of `doctor --strict` when the report counts problems (the report is still
// printed in full). No error kind uses it.
inline constexpr int kDoctorStrictExit = 1;

struct DoctorOutcome {
    std::string text;  // the rendered report, ending in one line feed
    int exit_status = 0;
};

// Fails only on a malformed REPO or --tap, or a --project that is not a directory.
Result<DoctorOutcome> run_doctor(const Doctor& args, OutputFormat format);

}  // namespace tarnwick

// One run of doctor as its checks see it: what it was asked about, what earlier items found
// that later ones depend on, and the items so far. A check reads and adds to it; run_doctor
// runs every row of kDoctorItems on one, and a test can run a single check on one it set up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"
#include "doctor/doctor_items.hpp"
#include "doctor/doctor_report.hpp"
#include "process/cargo_toolchain.hpp"

namespace tarnwick {

// The project directory and what doctor reads of it.
struct DoctorProject {
    std::string dir;    // as given
    std::string shown;  // decoded for messages
    std::optional<std::string> cargo_toml;
    std::optional<std::string> pyproject_toml;
};

// Fails with a usage error when dir is not a directory; the manifests are read when present.
Result<DoctorProject> open_doctor_project(const std::string& dir);

// What gh answered, for the items that ask it more.
struct GhState {
    bool answers = false;              // gh started and answered in time: it can be asked more
    bool logged_in = false;            // and is logged in: repositories can be asked about
    std::string skipped = "needs gh";  // otherwise, why the items that need it are skipped
    std::optional<std::string> skipped_fix;
    std::optional<std::string> login;  // the account gh is logged in as, when it said
};

// (Every member has an initialiser, so that a run may be written with only some of them.)
struct DoctorRun {
    DoctorProject project = {};
    std::optional<std::string> target = {};  // REPO as owner/name, when given
    std::optional<std::string> tap = {};     // its tap, when REPO is given

    // Found by earlier items.
    CargoToolchain toolchain = {};  // as rustup names it in the neutral directory
    bool cargo_runs = false;        // the cargo item is ok
    GhState gh = {};
    std::size_t workflow_files = 0;    // in the project's .github/workflows
    std::size_t workflows_judged = 0;  // of them, the first ones by name

    std::vector<DoctorItem> items = {};

    // Adds an item under the name of the row being checked.
    void add(DoctorStatus status, std::string detail,
             std::optional<std::string> fix = std::nullopt);
    // Adds item under the name of the row being checked, whatever name it has.
    void add(DoctorItem item);
    // Adds item under its own name (a workflow file's path).
    void add_named(DoctorItem item);

    // The row being checked.
    std::string_view checking = {};
};

// Runs the row's check on run.
void run_doctor_check(DoctorRun& run, const DoctorItemCheck& row);

}  // namespace tarnwick

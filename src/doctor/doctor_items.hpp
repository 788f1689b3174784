// Doctor's items, one row each, in the order of the report: the item's name, the statuses it
// can have besides ok, when it is ok, and the check that adds it. The contract's description
// of doctor is written from these rows, and the README's item table is held to them by a test,
// so a new item is one row here and its check.
#pragma once

#include <array>
#include <string_view>

#include "core/static_text.hpp"
#include "doctor/doctor_contract.hpp"

namespace tarnwick {

struct DoctorRun;  // doctor_run.hpp

// The checks, each adding its item to the run (none where it does not apply; for the
// workflow files, one per file).
namespace doctor_check {
void this_tarnwick(DoctorRun& run);
void git(DoctorRun& run);
void author(DoctorRun& run);
void cargo(DoctorRun& run);
void rustfmt(DoctorRun& run);
void gh(DoctorRun& run);
void gh_login(DoctorRun& run);
void ssh_keygen(DoctorRun& run);
void crates_token(DoctorRun& run);
void pypi_token(DoctorRun& run);
void repo(DoctorRun& run);
void tap(DoctorRun& run);
void crate_name(DoctorRun& run);
void pypi_name(DoctorRun& run);
void cargo_lock(DoctorRun& run);
void update(DoctorRun& run);
void workflow_files(DoctorRun& run);
void workflows(DoctorRun& run);
}  // namespace doctor_check

struct DoctorItemCheck {
    std::string_view item;     // its name in the report; a workflow file's is its path
    DoctorStatusSet others;    // every status it can have besides ok
    std::string_view ok_when;  // said in the contract and the README: no ';' and no '|'
    void (*check)(DoctorRun&);
};

inline constexpr auto kDoctorItems = [] {
    using enum DoctorStatus;
    return std::array<DoctorItemCheck, 18>{{
        {"tarnwick",
         {},
         "always: this tarnwick's version and the date its platform table was checked",
         doctor_check::this_tarnwick},
        {"git",
         {Missing, TooOld, Unknown, Unusable},
         "`git --version` runs and is 2.38.0 or later (what `update` needs)",
         doctor_check::git},
        {"author",
         {Missing, Incomplete, Invalid},
         "`user.name` and `user.email` in git's configuration give the author `new` would write "
         "(without an e-mail it is `incomplete`)",
         doctor_check::author},
        {"cargo",
         {Missing, Unknown, Unusable},
         "`cargo --version` runs in `/`, with the toolchain rustup names there (nothing of the "
         "project, not its `.cargo/config.toml` nor its toolchain file, is read)",
         doctor_check::cargo},
        {"rustfmt",
         {Missing, Unknown, Skipped},
         "`cargo fmt --version` runs the same way (`skipped` without a usable cargo)",
         doctor_check::rustfmt},
        {"gh",
         {Missing, TooOld, Unknown, Unusable},
         "`gh --version` names 2.36.0 or later, what `secrets` needs (`unknown` when it names "
         "no version)",
         doctor_check::gh},
        {"gh_login",
         {Unknown, NotLoggedIn, Skipped},
         "`gh auth status` succeeds (the detail names the account, from `gh api user`)",
         doctor_check::gh_login},
        {"ssh-keygen", {Missing}, "it is on `PATH` (looked up, not run)", doctor_check::ssh_keygen},
        {"crates_token",
         {Missing},
         "`secrets` would find a crates registry token (the detail names its source, never the "
         "value)",
         doctor_check::crates_token},
        {"pypi_token",
         {Missing, Skipped},
         "`secrets` would find a PyPI token (`skipped` in a project without `pyproject.toml`, "
         "which builds no wheel)",
         doctor_check::pypi_token},
        {"repo",
         {Unknown, Unreachable, NoAdmin, Skipped},
         "with REPO: `gh repo view REPO` succeeds and the account is an admin of it (`secrets` "
         "writes deploy keys, secrets and variables)",
         doctor_check::repo},
        {"tap",
         {Unknown, Unreachable, NoAdmin, Skipped},
         "with REPO: the same for its Homebrew tap (`--tap`, else `OWNER/homebrew-tap`)",
         doctor_check::tap},
        {"crate_name",
         {Unknown, Taken, Skipped},
         "the crate name (the project's `Cargo.toml`, else REPO's name) is free on crates.io or "
         "already this project's (its `repository` is the project's): the first release must be "
         "able to publish it",
         doctor_check::crate_name},
        {"pypi_name",
         {Unknown, Taken, Skipped},
         "the same for the package name on PyPI (the project's `pyproject.toml`, else REPO's "
         "name, and none for a project without a wheel)",
         doctor_check::pypi_name},
        {"cargo_lock",
         {Missing, Unknown, Uncommitted},
         "in a project: `Cargo.lock` exists and is in the last commit",
         doctor_check::cargo_lock},
        {"update",
         {TooNew, Unknown, Unusable},
         "in a project: `.tarnwick.toml` reads and names a template set this tarnwick carries, "
         "the detail saying whether `update` has anything to do (`unknown` without a record: "
         "`tarnwick update --dry-run` tells whether it adopts the project's first commit)",
         doctor_check::update},
        {".github/workflows/*.yml",
         {Stale, TooLarge, Unreadable},
         "each workflow file (`.yml` or `.yaml`) of `--project` (default `.`): no runner image is "
         "retired or deprecated and no listed action is pinned to a tag or an older commit than "
         "in the platform table (`docs/platform.md`)",
         doctor_check::workflow_files},
        {"workflows",
         {Skipped},
         "never: it says that the project has no workflow files, or how many past the first "
         "200 by name were not judged",
         doctor_check::workflows},
    }};
}();

// Each row has a name of its own, never lists ok among the other statuses, and says when it
// is ok without ';' (the contract's separator of items) or '|' (the README's of cells).
template <std::size_t N>
constexpr bool sound_items(const std::array<DoctorItemCheck, N>& rows) {
    for (std::size_t i = 0; i < N; ++i) {
        const DoctorItemCheck& row = rows[i];
        if (row.item.empty() || row.others.contains(DoctorStatus::Ok)) return false;
        if (row.ok_when.find_first_of(";|") != std::string_view::npos) return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (rows[j].item == row.item) return false;
        }
    }
    return true;
}
static_assert(sound_items(kDoctorItems),
              "each of kDoctorItems has its own name, never lists ok among the other "
              "statuses, and says when it is ok without ';' or '|'");

namespace doctor_text {

// "`git` (missing, too_old, unknown or unusable): `git --version` runs ...; `author` ...".
struct Items {
    static constexpr void write(auto&& put) {
        for (std::size_t i = 0; i < kDoctorItems.size(); ++i) {
            const DoctorItemCheck& row = kDoctorItems[i];
            if (i > 0) put("; ");
            put("`");
            put(row.item);
            put("`");
            if (!row.others.empty()) {
                put(" (");
                name_list(
                    put, kDoctorStatuses, [&](DoctorStatus s) { return row.others.contains(s); },
                    " or ");
                put(")");
            }
            put(": ");
            put(row.ok_when);
        }
    }
};

inline constexpr std::string_view kWhat =
    "Report, changing nothing, what `new`, `secrets` and `update` would be missing, as items in "
    "this order, each with the statuses it can have besides ok and when it is ok: ";
inline constexpr std::string_view kItems = written<Items>;
inline constexpr std::string_view kStatusesOpen = ". Each item has a status (";
inline constexpr std::string_view kItemRest =
    "), a detail, the command that fixes it and, for a workflow file, its findings. Every child "
    "it starts is stopped after ";
inline constexpr std::string_view kSeconds = decimal_text<kQuerySeconds>;
inline constexpr std::string_view kKeeps = " s (reported as unknown), and at most ";
inline constexpr std::string_view kMiB = decimal_text<kQueryKeptMiB>;
inline constexpr std::string_view kRest =
    " MiB of each of its outputs is kept. Exits 0 whatever it finds; with --strict, 1 when "
    "`problems` is above 0. Runs only version queries, `git config`, `git ls-tree`, `rustup "
    "show active-toolchain`, `gh auth status`, `gh api user`, `gh repo view`, `gh api "
    "users/OWNER` and curl GETs of the registries' name lookups.";

inline constexpr std::string_view kItemsOpen =
    "One object per item: `item`, `status`, `detail`, `fix` (the command that fixes it; null "
    "when nothing needs doing) and `findings` (for a workflow file, one object per finding: "
    "`line`, `severity` ";
inline constexpr std::string_view kItemsRest =
    ", `message` and `fix`, null for a note; empty for other items).";

inline constexpr std::string_view kNoneOf = "Items whose status is none of ";
inline constexpr std::string_view kFullStop = ".";

}  // namespace doctor_text

// The contract's description of doctor, and of its two output fields.
inline constexpr std::string_view kDoctorDescription =
    joined_text<doctor_text::kWhat, doctor_text::kItems, doctor_text::kStatusesOpen,
                kDoctorStatusList, doctor_text::kItemRest, doctor_text::kSeconds,
                doctor_text::kKeeps, doctor_text::kMiB, doctor_text::kRest>;
inline constexpr std::string_view kDoctorItemsField =
    joined_text<doctor_text::kItemsOpen, kSeverityList, doctor_text::kItemsRest>;
inline constexpr std::string_view kDoctorProblemsField =
    joined_text<doctor_text::kNoneOf, kDoctorNoProblemList, doctor_text::kFullStop>;

}  // namespace tarnwick

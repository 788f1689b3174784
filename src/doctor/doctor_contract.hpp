// What doctor promises, declared once: every status an item can have (the items are built
// from this table, `problems` counts by it, and the contract lists it), and the bounds of every
// child it starts (the runner is given them, and the contract states them).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tarnwick {

enum class DoctorStatus {
    Ok,
    Missing,
    TooOld,
    TooNew,
    Unknown,
    Unusable,
    Incomplete,
    Invalid,
    NotLoggedIn,
    Unreachable,
    NoAdmin,
    Taken,
    Uncommitted,
    Stale,
    TooLarge,
    Unreadable,
    Skipped,
};

struct DoctorStatusFacts {
    DoctorStatus status;
    std::string_view name;
    bool problem;  // counted in `problems`; a question without an answer is not
};

inline constexpr std::array<DoctorStatusFacts, 17> kDoctorStatuses{{
    {DoctorStatus::Ok, "ok", false},
    {DoctorStatus::Missing, "missing", true},
    {DoctorStatus::TooOld, "too_old", true},
    {DoctorStatus::TooNew, "too_new", true},
    {DoctorStatus::Unknown, "unknown", false},
    {DoctorStatus::Unusable, "unusable", true},
    {DoctorStatus::Incomplete, "incomplete", true},
    {DoctorStatus::Invalid, "invalid", true},
    {DoctorStatus::NotLoggedIn, "not_logged_in", true},
    {DoctorStatus::Unreachable, "unreachable", true},
    {DoctorStatus::NoAdmin, "no_admin", true},
    {DoctorStatus::Taken, "taken", true},
    {DoctorStatus::Uncommitted, "uncommitted", true},
    {DoctorStatus::Stale, "stale", true},
    {DoctorStatus::TooLarge, "too_large", true},
    {DoctorStatus::Unreadable, "unreadable", true},
    {DoctorStatus::Skipped, "skipped", false},
}};

namespace doctor_contract_detail {

constexpr bool in_enum_order() {
    for (std::size_t i = 0; i < kDoctorStatuses.size(); ++i) {
        if (kDoctorStatuses[i].status != static_cast<DoctorStatus>(i)) return false;
    }
    return kDoctorStatuses.size() == static_cast<std::size_t>(DoctorStatus::Skipped) + 1;
}
static_assert(in_enum_order(), "kDoctorStatuses lists every DoctorStatus, in the enum's order");

// The names, "a, b, c or d" (all) or "a, b and c" (those that are no problem); writes to out
// when given and returns the length.
constexpr std::size_t status_list(char* out, bool no_problems_only) {
    const std::string_view last = no_problems_only ? " and " : " or ";
    std::size_t count = 0;
    for (const DoctorStatusFacts& s : kDoctorStatuses) count += !(no_problems_only && s.problem);
    std::size_t at = 0, n = 0;
    auto put = [&](std::string_view text) {
        for (char c : text) {
            if (out != nullptr) out[at] = c;
            ++at;
        }
    };
    for (const DoctorStatusFacts& s : kDoctorStatuses) {
        if (no_problems_only && s.problem) continue;
        if (n > 0) put(n + 1 == count ? last : ", ");
        put(s.name);
        ++n;
    }
    return at;
}

template <bool NoProblemsOnly>
inline constexpr auto kStatusListChars = [] {
    std::array<char, status_list(nullptr, NoProblemsOnly)> out{};
    status_list(out.data(), NoProblemsOnly);
    return out;
}();

}  // namespace doctor_contract_detail

// "ok, missing, …, unreadable or skipped", in the table's order.
inline constexpr std::string_view kDoctorStatusList{
    doctor_contract_detail::kStatusListChars<false>.data(),
    doctor_contract_detail::kStatusListChars<false>.size()};

// The statuses that are no problem: "ok, unknown and skipped".
inline constexpr std::string_view kDoctorNoProblemList{
    doctor_contract_detail::kStatusListChars<true>.data(),
    doctor_contract_detail::kStatusListChars<true>.size()};

constexpr std::string_view doctor_status_name(DoctorStatus status) {
    return kDoctorStatuses[static_cast<std::size_t>(status)].name;
}

constexpr bool is_doctor_problem(DoctorStatus status) {
    return kDoctorStatuses[static_cast<std::size_t>(status)].problem;
}

// Every child doctor starts is stopped after this long (its item is then `unknown`), and this
// much of each of its output streams is kept. The cap is sized for the largest answer doctor
// reads in full: a registry's JSON for a crate or a package lists every release it has had.
inline constexpr int kQuerySeconds = 5;
inline constexpr std::size_t kQueryKeptMiB = 4;
inline constexpr std::size_t kQueryKeptBytes = kQueryKeptMiB << 20;

}  // namespace tarnwick

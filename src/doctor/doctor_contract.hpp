// What doctor promises, declared once: every status an item can have (the items are built
// from this table, `problems` counts by it, and the contract lists it), every severity of a
// workflow finding, and the bounds of every child it starts (the runner is given them, and
// the contract states them). Its items are declared in doctor_items.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace tarnwick {

// A table of an enum's facts, one row per enumerator, is indexed by the enumerator: row i is
// the one of enumerator i, and the last row that of Last, the enum's last enumerator.
template <auto Last, typename Row, std::size_t N>
constexpr bool indexed_by_enum(const std::array<Row, N>& table) {
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i].value != static_cast<decltype(Last)>(i)) return false;
    }
    return N == static_cast<std::size_t>(Last) + 1;
}

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
    DoctorStatus value;
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
static_assert(indexed_by_enum<DoctorStatus::Skipped>(kDoctorStatuses),
              "kDoctorStatuses lists every DoctorStatus, in the enum's order");

constexpr std::string_view doctor_status_name(DoctorStatus status) {
    return kDoctorStatuses[static_cast<std::size_t>(status)].name;
}

constexpr bool is_doctor_problem(DoctorStatus status) {
    return kDoctorStatuses[static_cast<std::size_t>(status)].problem;
}

// Some of the statuses, in the table's order whatever order they are given in.
class DoctorStatusSet {
public:
    constexpr DoctorStatusSet(std::initializer_list<DoctorStatus> statuses) {
        for (DoctorStatus s : statuses) bits_ |= bit(s);
    }
    constexpr bool contains(DoctorStatus status) const { return (bits_ & bit(status)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }

private:
    static constexpr std::uint32_t bit(DoctorStatus status) {
        return std::uint32_t{1} << static_cast<unsigned>(status);
    }
    std::uint32_t bits_ = 0;
};
static_assert(kDoctorStatuses.size() <= 32, "a DoctorStatusSet holds a status in a bit");

// How much a workflow finding matters: a retired runner image is an error (the job never
// starts), a deprecated one or an action on a tag or an old commit a warning, a pin newer than
// the platform table a note (nothing to fix).
enum class Severity { Error, Warning, Note };

struct SeverityFacts {
    Severity value;
    std::string_view name;
};

inline constexpr std::array<SeverityFacts, 3> kSeverities{{
    {Severity::Error, "error"},
    {Severity::Warning, "warning"},
    {Severity::Note, "note"},
}};
static_assert(indexed_by_enum<Severity::Note>(kSeverities),
              "kSeverities lists every Severity, in the enum's order");

constexpr std::string_view severity_name(Severity severity) {
    return kSeverities[static_cast<std::size_t>(severity)].name;
}

// Every child doctor starts is stopped after this long (its item is then `unknown`), and this
// much of each of its output streams is kept. The cap is sized for the largest answer doctor
// reads in full: a registry's JSON for a crate or a package lists every release it has had.
inline constexpr int kQuerySeconds = 5;
inline constexpr std::size_t kQueryKeptMiB = 4;
inline constexpr std::size_t kQueryKeptBytes = kQueryKeptMiB << 20;

namespace doctor_text {

// Text written at compile time: Writer::write(put) calls put(piece) for each piece, once to
// measure the text and once to fill it.
template <typename Writer>
struct Written {
    struct Measure {
        std::size_t size = 0;
        constexpr void operator()(std::string_view piece) { size += piece.size(); }
    };
    static constexpr std::size_t size = [] {
        Measure measure;
        Writer::write(measure);
        return measure.size;
    }();
    static constexpr std::array<char, size> chars = [] {
        std::array<char, size> out{};
        std::size_t at = 0;
        Writer::write([&](std::string_view piece) {
            for (char c : piece) out[at++] = c;
        });
        return out;
    }();
    static constexpr std::string_view value{chars.data(), size};
};

template <typename Writer>
inline constexpr std::string_view written = Written<Writer>::value;

// The names of the rows that keep(value) admits, "a, b, c or d" (or "a, b and c").
template <typename Put, typename Row, std::size_t N, typename Keep>
constexpr void name_list(Put&& put, const std::array<Row, N>& table, Keep keep,
                         std::string_view last_joint) {
    std::size_t count = 0, n = 0;
    for (const Row& row : table) count += keep(row.value) ? 1 : 0;
    for (const Row& row : table) {
        if (!keep(row.value)) continue;
        if (n > 0) put(n + 1 == count ? last_joint : ", ");
        put(row.name);
        ++n;
    }
}

struct AllStatuses {
    static constexpr void write(auto&& put) {
        name_list(
            put, kDoctorStatuses, [](DoctorStatus) { return true; }, " or ");
    }
};

struct NoProblems {
    static constexpr void write(auto&& put) {
        name_list(
            put, kDoctorStatuses, [](DoctorStatus s) { return !is_doctor_problem(s); }, " and ");
    }
};

struct AllSeverities {
    static constexpr void write(auto&& put) {
        name_list(
            put, kSeverities, [](Severity) { return true; }, " or ");
    }
};

}  // namespace doctor_text

// "ok, missing, …, unreadable or skipped", in the table's order.
inline constexpr std::string_view kDoctorStatusList =
    doctor_text::written<doctor_text::AllStatuses>;

// The statuses that are no problem: "ok, unknown and skipped".
inline constexpr std::string_view kDoctorNoProblemList =
    doctor_text::written<doctor_text::NoProblems>;

// "error, warning or note".
inline constexpr std::string_view kSeverityList = doctor_text::written<doctor_text::AllSeverities>;

}  // namespace tarnwick

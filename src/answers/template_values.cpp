// Default template values. The year is deliberately not a calendar year: it is counted in
// average Gregorian years since the epoch, so it turns over near, not at, New Year.
#include "answers/template_values.hpp"

#include <chrono>

#include "answers/commit_identity.hpp"
#include "core/text.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

constexpr std::int64_t kSecondsPerYear = 31556952;

}  // namespace

std::string default_description(std::string_view name) {
    return "An ordoval-compliant CLI (" + std::string(name) + ").";
}

Result<std::optional<std::string>> git_config(std::string_view key) {
    using Value = std::optional<std::string>;
    auto run = run_child({.program = "git", .args = {"config", std::string(key)}});
    if (!run || !run->success) return Value{};
    if (!run->stdout_was_utf8) {
        return CliError::usage("invalid git config " + std::string(key) +
                               ": it is not valid UTF-8; fix it or pass --author");
    }
    std::string_view value = trim(run->stdout_text);
    if (value.empty()) return Value{};
    return Value{std::string(value)};
}

Result<std::string> default_author() {
    auto name = git_config("user.name");
    auto email = git_config("user.email");
    TARNWICK_TRY(name);
    TARNWICK_TRY(email);
    if (!name.value()) return std::string(kPlaceholderAuthor);
    if (!email.value()) return *name.value();
    return *name.value() + " <" + *email.value() + ">";
}

std::string pyproject_author_fields(std::string_view author) {
    const CommitIdentity parts = split_author(author);
    std::string fields;
    if (!parts.name.empty() || parts.email.empty()) fields = "name = \"" + parts.name + "\"";
    if (!parts.email.empty()) {
        if (!fields.empty()) fields += ", ";
        fields += "email = \"" + parts.email + "\"";
    }
    return fields;
}

std::string year_from_seconds(std::int64_t seconds) {
    if (seconds < 0) return "1970";
    return std::to_string(1970 + seconds / kSecondsPerYear);
}

std::string current_year() {
    using std::chrono::system_clock;
    auto since_epoch = system_clock::now().time_since_epoch();
    // floor, not truncation: a clock before the epoch must stay negative.
    auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch).count();
    return year_from_seconds(static_cast<std::int64_t>(seconds));
}

}  // namespace tarnwick

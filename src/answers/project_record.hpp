// The project's record, `.tarnwick.toml` at its root: the template set it was made from and the
// answers that set was rendered with. `new` writes it through the templates; `update` reads it
// to render the same set again as the base of its merge. The reader takes exactly the TOML that
// the templates write (tables, `key = "text"`, `key = true|false`, comments) and refuses the rest;
// the keys of [answers] are the answer rows', and a key a record of an older set lacks reads as
// the row says.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "answers/answers.hpp"
#include "core/result.hpp"

namespace tarnwick {

inline constexpr std::string_view kRecordFile = ".tarnwick.toml";
// The most of a record that is read: the templates write well under 1 KiB, and a larger file is
// refused unread rather than held in memory.
inline constexpr std::size_t kMaxRecordBytes = std::size_t{64} * 1024;

struct ProjectRecord {
    std::string template_set;  // the identity of the set
    Answers answers;
};

// A record that does not read as the templates write it is a git error naming the file and the
// line; its answers are not yet checked against `new`'s rules.
Result<ProjectRecord> parse_project_record(std::string_view text);

// The answers checked by the rules of their rows, as `new` checks them; `origin` says where they
// came from, for the message.
Status check_answers(const Answers& answers, std::string_view origin);

}  // namespace tarnwick

// The answers a project is made with, declared once. One row per answer gives its key in the
// project's record, its placeholder in the templates, its type, the rule `new` holds it to,
// what a command line gives for it, and what a record written by an older set reads as without
// it. The record's reader, the check of a record's answers, the placeholders, the answers
// `new` and `update` render with and `update`'s report walk the rows; the values derived from
// the answers (the spellings of the name, the author's pyproject fields, the tap's short name,
// the sections a template keeps, the files it writes) are computed here and nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// The licences a project may be published under, each named by its SPDX expression.
enum class License { Mit, Apache, MitOrApache };

// The names of the licences, in the enum's order (see kShellNames).
inline constexpr std::array<std::string_view, 3> kLicenseNames = {"MIT", "Apache-2.0",
                                                                  "MIT OR Apache-2.0"};
static_assert(kLicenseNames[static_cast<std::size_t>(License::Mit)] == "MIT" &&
              kLicenseNames[static_cast<std::size_t>(License::Apache)] == "Apache-2.0" &&
              kLicenseNames[static_cast<std::size_t>(License::MitOrApache)] ==
                  "MIT OR Apache-2.0" &&
              kLicenseNames.size() == static_cast<std::size_t>(License::MitOrApache) + 1);

constexpr std::span<const std::string_view> choices_of(License) {
    return kLicenseNames;
}

struct Answers {
    std::string name;
    std::string owner;
    std::string description;
    std::string author;
    std::string year;
    bool pypi = true;
    std::string tap;  // the Homebrew tap repository, OWNER/homebrew-NAME
    License license = License::Mit;

    bool operator==(const Answers&) const = default;
};

// What a command line gives for the answers, each left out when it is not given. The records
// of `new` and `update` are made of it; each command declares the options it takes.
struct GivenAnswers {
    std::optional<std::string> owner;
    std::optional<std::string> description;
    std::optional<std::string> author;
    std::optional<std::string> tap;
    std::optional<License> license;
    bool pypi = false;     // --pypi
    bool no_pypi = false;  // --no-pypi
};

enum class AnswerType {
    Word,    // text without spaces: shown as it is
    Text,    // free text: quoted where it is shown among others
    Switch,  // true or false, written bare
    Choice,  // one of a fixed list of names
};

struct AnswerRow {
    std::string_view key;          // in the record's [answers] and the report's JSON
    std::string_view label;        // in the report's text
    std::string_view placeholder;  // in the templates
    AnswerType type;
    std::span<const std::string_view> choices = {};  // the names of a Choice
    // The value as the templates and the record write it.
    std::string (*text)(const Answers&);
    // Sets the answer from that text; false when the text is no value of the type.
    bool (*set)(Answers&, std::string_view);
    // The rule `new` holds the answer to, given the others; none beyond the type when null.
    Status (*rule)(const Answers&);
    // The command line's value, as text; null for the answers only `new` sets (name, year),
    // which `update` keeps.
    std::optional<std::string> (*given)(const GivenAnswers&);
    // What a record without the key reads as: the value every project made before the answer
    // existed has. Empty: every record holds it.
    std::string_view older_sets = {};
};

// Every answer, in the order the record and the report list them.
std::span<const AnswerRow> answer_rows();

// The row of that record key, or null.
const AnswerRow* find_answer_row(std::string_view key);

// The answers of `new` before its command line: the name, the default description, the year,
// the default owner and its tap, PyPI on, MIT, and no author.
Answers new_answers(std::string_view name, std::string_view year);

// base with every answer the command line gives replaced. A tap that was the owner's default
// follows a new owner.
Answers with_given(const Answers& base, const GivenAnswers& given);

// Every row's rule, in row order: the first answer that breaks one.
Status check_rules(const Answers& answers);

// A value derived from the answers, under its placeholder.
struct DerivedValue {
    std::string_view placeholder;
    std::string (*value)(const Answers&);
};
std::span<const DerivedValue> derived_values();

// A switch of the templates: the lines between "{{#name}}" and "{{/name}}" are kept when it is
// on, those between "{{^name}}" and "{{/name}}" when it is off.
struct TemplateSwitch {
    std::string_view name;
    bool (*on)(const Answers&);
};
std::span<const TemplateSwitch> template_switches();

// The path a template's output path (".tmpl" removed) is written under, or none when the
// answers leave the file out: pyproject.toml only with PyPI; of the licence texts LICENSE-MIT
// and LICENSE-APACHE the licence's own, named LICENSE when it is the only one.
std::optional<std::string> output_path(std::string_view path, const Answers& answers);

}  // namespace tarnwick

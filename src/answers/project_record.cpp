#include "answers/project_record.hpp"

#include <optional>
#include <span>
#include <vector>

#include "core/text.hpp"

namespace tarnwick {
namespace {

CliError malformed(std::size_t line, std::string_view what) {
    return CliError::git(std::string(kRecordFile) + " line " + std::to_string(line) + ": " +
                         std::string(what) +
                         "; restore the file as tarnwick wrote it (`git log -p -- " +
                         std::string(kRecordFile) + "`)");
}

// The value of one `key = …` line: a basic string without escapes, or a boolean.
struct Value {
    std::optional<std::string> text;
    std::optional<bool> flag;
};

std::optional<Value> parse_value(std::string_view v) {
    if (v == "true" || v == "false") return Value{std::nullopt, v == "true"};
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::nullopt;
    v = v.substr(1, v.size() - 2);
    // The answers can hold neither quotes nor backslashes, so the writer never escapes.
    if (v.find_first_of("\"\\") != std::string_view::npos) return std::nullopt;
    return Value{std::string(v), std::nullopt};
}

// "\"MIT\", \"Apache-2.0\" or \"MIT OR Apache-2.0\"".
std::string quoted_list(std::span<const std::string_view> names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += tarnwick::quoted(names[i]);
    }
    return text;
}

}  // namespace

Result<ProjectRecord> parse_project_record(std::string_view text) {
    if (!is_valid_utf8(text)) return malformed(1, "the file is not UTF-8");
    const auto rows = answer_rows();
    std::optional<std::string> set;
    std::vector<bool> seen(rows.size(), false);
    ProjectRecord record;
    std::string_view table;
    std::size_t number = 0;
    for (std::string_view line : lines(text)) {
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        line = trim(line);
        if (line.empty() || line.starts_with('#')) continue;
        if (line.starts_with('[')) {
            if (line != "[template]" && line != "[answers]")
                return malformed(number, "unknown table");
            table = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) return malformed(number, "expected `key = value`");
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value = trim(line.substr(eq + 1));
        const AnswerRow* row = table == "answers" ? find_answer_row(key) : nullptr;
        const bool is_set = table == "template" && key == "set";
        if (!row && !is_set) return malformed(number, "unknown key " + tarnwick::quoted(key));
        const std::size_t at = row ? static_cast<std::size_t>(row - rows.data()) : 0;
        if (is_set ? set.has_value() : seen[at]) {
            return malformed(number, "a second " + tarnwick::quoted(key));
        }
        const bool boolean = row && row->type == AnswerType::Switch;
        const auto parsed = parse_value(value);
        if (!parsed || parsed->flag.has_value() != boolean) {
            return malformed(number, boolean ? std::string(key) + " must be true or false"
                                             : std::string(key) +
                                                   " must be a string in double "
                                                   "quotes, without escapes");
        }
        if (is_set) {
            set = *parsed->text;
            continue;
        }
        seen[at] = true;
        const std::string given = boolean ? (*parsed->flag ? "true" : "false") : *parsed->text;
        if (!row->set(record.answers, given)) {
            return malformed(number,
                             std::string(key) + " must be one of " + quoted_list(row->choices));
        }
    }
    if (!set) return malformed(number, "no set in [template]");
    record.template_set = std::move(*set);
    for (std::size_t at = 0; at < rows.size(); ++at) {
        if (seen[at]) continue;
        if (rows[at].older_sets.empty()) {
            return malformed(number, "no " + std::string(rows[at].key) + " in [answers]");
        }
        (void)rows[at].set(record.answers, rows[at].older_sets);
    }
    return record;
}

Status check_answers(const Answers& answers, std::string_view origin) {
    auto checked = check_rules(answers);
    if (checked) return Ok{};
    return CliError::git("the answers " + std::string(origin) +
                         " break the rules `tarnwick new` holds them to, so they cannot be "
                         "rendered: " +
                         checked.error().message());
}

}  // namespace tarnwick

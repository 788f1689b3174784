#include "scaffold/project_record.hpp"

#include <array>
#include <optional>

#include "core/github_names.hpp"
#include "core/text.hpp"
#include "scaffold/crate_name.hpp"
#include "scaffold/option_values.hpp"
#include "scaffold/template_values.hpp"

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

}  // namespace

Result<ProjectRecord> parse_project_record(std::string_view text) {
    if (!is_valid_utf8(text)) return malformed(1, "the file is not UTF-8");
    struct Slot {
        std::string_view table;
        std::string_view key;
        std::optional<Value> value;
    };
    std::array<Slot, 8> slots = {{{"template", "set", {}},
                                  {"answers", "name", {}},
                                  {"answers", "owner", {}},
                                  {"answers", "description", {}},
                                  {"answers", "author", {}},
                                  {"answers", "year", {}},
                                  {"answers", "pypi", {}},
                                  {"answers", "tap", {}}}};
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
        Slot* slot = nullptr;
        for (Slot& s : slots) {
            if (s.table == table && s.key == key) slot = &s;
        }
        if (!slot) return malformed(number, "unknown key " + tarnwick::quoted(key));
        if (slot->value) return malformed(number, "a second " + tarnwick::quoted(key));
        slot->value = parse_value(trim(line.substr(eq + 1)));
        const bool boolean = key == "pypi";
        if (!slot->value || slot->value->flag.has_value() != boolean) {
            return malformed(number, boolean ? "pypi must be true or false"
                                             : std::string(key) +
                                                   " must be a string in double "
                                                   "quotes, without escapes");
        }
    }
    for (const Slot& s : slots) {
        if (!s.value) {
            return malformed(number,
                             "no " + std::string(s.key) + " in [" + std::string(s.table) + "]");
        }
    }
    ProjectRecord record;
    record.template_set = *slots[0].value->text;
    TemplateContext& a = record.answers;
    a.name = *slots[1].value->text;
    a.owner = *slots[2].value->text;
    a.description = *slots[3].value->text;
    a.author = *slots[4].value->text;
    a.year = *slots[5].value->text;
    a.pypi = *slots[6].value->flag;
    a.tap = *slots[7].value->text;
    a.name_snake = snake_name(a.name);
    a.name_pascal = pascal_name(a.name);
    a.author_fields = pyproject_author_fields(a.author);
    a.template_set = record.template_set;
    return record;
}

Status check_answers(const TemplateContext& answers, std::string_view origin) {
    auto checked = [&]() -> Status {
        TARNWICK_TRY(validate_crate_name(answers.name));
        if (answers.pypi) TARNWICK_TRY(validate_python_name(answers.name));
        TARNWICK_TRY(check_description(answers.description));
        TARNWICK_TRY(check_owner(answers.owner));
        TARNWICK_TRY(check_author(answers.author, false));
        TARNWICK_TRY(check_tap(answers.tap));
        if (answers.year.size() != 4 ||
            answers.year.find_first_not_of("0123456789") != std::string::npos) {
            return CliError::usage("invalid year " + tarnwick::quoted(answers.year) +
                                   ": use four digits");
        }
        return Ok{};
    }();
    if (checked) return Ok{};
    return CliError::git("the answers " + std::string(origin) +
                         " break the rules `tarnwick new` holds them to, so they cannot be "
                         "rendered: " +
                         checked.error().message());
}

}  // namespace tarnwick

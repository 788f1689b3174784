// The reader of the project's record (.tarnwick.toml): a record it accepts gives back values
// that stand in the text between double quotes and hold neither quote, backslash nor line
// break, and the record written again as the template writes it reads back the same; a refusal
// is a git error that names the file and a line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "answers/project_record.hpp"
#include "fuzz_check.hpp"

using fuzz_check::in;
using fuzz_check::require;

namespace {

// The record as tarnwick writes one: every answer a row, as the row writes its value.
std::string written(const tarnwick::ProjectRecord& r) {
    std::string text = "[template]\nset = \"" + r.template_set + "\"\n\n[answers]\n";
    for (const tarnwick::AnswerRow& row : tarnwick::answer_rows()) {
        const std::string value = row.text(r.answers);
        text += std::string(row.key) + " = " +
                (row.type == tarnwick::AnswerType::Switch ? value : "\"" + value + "\"") + "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto record = tarnwick::parse_project_record(text);
    if (!record) {
        require(record.error().kind() == tarnwick::ErrorKind::Git);
        require(record.error().message().starts_with("git: .tarnwick.toml line "));
        return 0;
    }
    const tarnwick::Answers& a = record->answers;
    for (const std::string* value :
         {&record->template_set, &a.name, &a.owner, &a.description, &a.author, &a.year, &a.tap}) {
        require(in(text, "\"" + *value + "\""));
        require(value->find_first_of("\"\\\n") == std::string::npos);
    }
    const auto again = tarnwick::parse_project_record(written(*record));
    require(again.ok() && again->template_set == record->template_set &&
            again->answers == record->answers);
    (void)tarnwick::check_answers(a, "in the record");
    return 0;
}
